#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLockFile>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cutter/cuttersend.h"
#include "serial/commport.h"
#include "serial/lineparameters.h"
#include "serial/profile.h"
#include "serial/serialsettings.h"
#include "clirun.h"
#include "testsupport.h"

// Lets failed expectations show QString values as text.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace velkar;
using velkar::test::Rec;

namespace {

// Points the profile (and optionally the lock directory) at scratch directories.
class ProfileOverride {
public:
    ProfileOverride() {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) m_old = old, m_hadOld = true;
        setenv("XDG_CONFIG_HOME", m_dir.Path().c_str(), 1);
    }
    ~ProfileOverride() {
        if (m_hadOld)
            setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    std::string IniPath() const { return m_dir.Path() + "/QV VELKAR1/Velkar.ini"; }
    void Write(const std::string& text) const {
        QDir().mkpath(QString::fromStdString(m_dir.Path() + "/QV VELKAR1"));
        test::WriteText(IniPath(), text);
    }

private:
    test::ScratchDir m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

// A pseudo-terminal standing in for the cutter: the port opens the slave, the
// test reads what arrives on the master.
class Pty {
public:
    Pty() {
        char name[128];
        termios raw {};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, name, &raw, nullptr) != 0) ADD_FAILURE() << "openpty failed";
        path = name;
    }
    ~Pty() {
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
    QString Path() const { return QString::fromStdString(path); }
    // Reads until `count` bytes have arrived or the line ends.
    std::string Read(std::size_t count) const {
        std::string got;
        char buffer[65536];
        while (got.size() < count) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

CSerialSettings Settings(const char* speed = "9600", const char* data = "8", const char* parity = "N",
                         const char* stop = "1") {
    CSerialSettings s;
    s.m_strPort = QStringLiteral("1");
    s.m_strSpeed = QString::fromLatin1(speed);
    s.m_strDataBits = QString::fromLatin1(data);
    s.m_strParity = QString::fromLatin1(parity);
    s.m_strStopBits = QString::fromLatin1(stop);
    return s;
}

class QuietHooks : public CutterSendHooks {
public:
    void Tell(std::string_view text) override { told += text; }
    std::string told;
};

std::string BigJob(const test::ScratchDir& dir, int lines) {
    std::vector<JobRecord> r = {Rec(RecHeaderCount, 0, 4), Rec(RecHeaderMin), Rec(RecHeaderMax, 0, 1000),
                                Rec(RecJobStart), Rec(RecMove, 0, 0)};
    for (int i = 0; i < lines; ++i) r.push_back(Rec(RecLine, (i % 2) * 1000, i));
    r.push_back(Rec(RecPathEnd));
    r[0].x = static_cast<std::int32_t>(r.size());
    const std::string path = dir.File("big.PT1");
    test::WriteRecords(path, r);
    return path;
}

}  // namespace

TEST(SerialSettings, DefaultsOrdersAndUnmatchedTextsSurviveASave) {
    ProfileOverride profile;
    CSerialSettings s;
    s.LoadSettings();
    EXPECT_EQ(s.GetPort(), QStringLiteral("1"));
    EXPECT_EQ(s.GetSpeed(), QStringLiteral("9600"));
    EXPECT_EQ(s.GetParity(), QStringLiteral("N"));
    EXPECT_EQ(s.GetDataBits(), QStringLiteral("8"));
    EXPECT_EQ(s.GetStopBits(), QStringLiteral("1"));
    EXPECT_EQ(s.DeviceForPort(1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(s.DeviceForPort(4), QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(s.DeviceForPort(0), QString());
    EXPECT_EQ(s.DeviceForPort(5), QString());

    const std::array<const char*, 5> load = {"port", "speed", "parity", "data", "stopbits"};
    const std::array<const char*, 5> save = {"stopbits", "parity", "port", "speed", "data"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_STREQ(CSerialSettings::LoadOrder()[i], load[i]);
        EXPECT_STREQ(CSerialSettings::SaveOrder()[i], save[i]);
    }

    // An empty profile saved gives the defaults; the file is the INI of the profile.
    s.SaveSettings();
    EXPECT_EQ(test::ReadBytes(profile.IniPath()), "[comm]\ndata=8\nparity=N\nport=1\nspeed=9600\nstopbits=1\n");

    // Texts that match no choice (19200, "M", "1.25") are read and written back as they are.
    profile.Write("[comm]\nport=3\nspeed=19200\nparity=M\ndata=7\nstopbits=1.25\ndevice3=/dev/ttyUSB0\n");
    CSerialSettings odd;
    odd.LoadSettings();
    EXPECT_EQ(odd.GetSpeed(), QStringLiteral("19200"));
    EXPECT_EQ(odd.DeviceForPort(3), QStringLiteral("/dev/ttyUSB0"));
    odd.m_strPort = QStringLiteral("2");
    odd.SaveSettings();
    EXPECT_EQ(test::ReadBytes(profile.IniPath()),
              "[comm]\ndata=7\ndevice3=/dev/ttyUSB0\nparity=M\nport=2\nspeed=19200\nstopbits=1.25\n");
}

TEST(Profile, MaterialSizeDefaultsReadsAsAtolAndWritesDecimalText) {
    ProfileOverride profile;
    MaterialSize size = LoadMaterialSize();
    EXPECT_EQ(size.length, 200);
    EXPECT_EQ(size.width, 200);

    profile.Write("[material]\nlength=12mm\nwidth=wide\n");
    size = LoadMaterialSize();
    EXPECT_EQ(size.length, 12);
    EXPECT_EQ(size.width, 0);

    SaveMaterialSize({1000000, -5});
    EXPECT_EQ(test::ReadBytes(profile.IniPath()), "[material]\nlength=1000000\nwidth=-5\n");
    size = LoadMaterialSize();
    EXPECT_EQ(size.length, 1000000);
    EXPECT_EQ(size.width, -5);
}

TEST(LineParameters, StoredTextsMapToTheLineSettings) {
    QString error;
    LineParameters line;
    ASSERT_TRUE(line.FromSettings(Settings("14400", "7", "E", "1.5"), error));
    termios t {};
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ICANON | ISIG;
    t.c_iflag = ICRNL | IXON;
    EXPECT_FALSE(line.ApplyTo(t));  // 14400 has no standard constant: set separately
    EXPECT_EQ(cfgetospeed(&t), speed_t{B38400});
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t{CS7});
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD), tcflag_t{PARENB});
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON), 0u);

    ASSERT_TRUE(line.FromSettings(Settings("300", "5", "O", "2"), error));
    EXPECT_TRUE(line.ApplyTo(t));
    EXPECT_EQ(cfgetospeed(&t), speed_t{B300});
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t{CS5});
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD), tcflag_t{PARENB | PARODD});
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);

    ASSERT_TRUE(line.FromSettings(Settings("9600", "8", "N", "1"), error));
    EXPECT_TRUE(line.ApplyTo(t));
    EXPECT_EQ(cfgetospeed(&t), speed_t{B9600});
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t{CS8});
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CSTOPB), 0u);

    for (const char* speed : {"1200", "2400", "4800"}) {
        ASSERT_TRUE(line.FromSettings(Settings(speed), error));
        EXPECT_TRUE(line.ApplyTo(t)) << speed;
    }
    // Unlisted parity and stop texts fall back to none and one.
    ASSERT_TRUE(line.FromSettings(Settings("9600", "6", "X", "3"), error));
    EXPECT_EQ(line.parity, 'N');
    EXPECT_FALSE(line.twoStopBits);

    EXPECT_FALSE(line.FromSettings(Settings("fast"), error));
    EXPECT_EQ(error, QStringLiteral("the speed \"fast\" is not a baud rate"));
    EXPECT_FALSE(line.FromSettings(Settings("9600", "9"), error));
    EXPECT_EQ(error, QStringLiteral("the data bits \"9\" are not 5 to 8"));

    // The exact custom rate reaches the kernel (a pseudo-terminal keeps it).
    Pty pty;
    EXPECT_EQ(SetCustomRate(pty.slave, 14400), 0);
    EXPECT_EQ(CurrentRate(pty.slave), 14400);
}

TEST(CommPort, SendsTheExactStreamThroughAPseudoTerminalAtCustomSpeed) {
    Pty pty;
    test::ScratchDir dir;
    const std::string job = dir.File("square.PT1");
    test::WriteRecords(job, {Rec(RecHeaderCount, 10, 4), Rec(RecHeaderMin, 0, 0), Rec(RecHeaderMax, 400, 400),
                             Rec(RecJobStart), Rec(RecMove, 0, 0), Rec(RecLine, 400, 0), Rec(RecLine, 400, 400),
                             Rec(RecLine, 0, 400), Rec(RecLine, 0, 0), Rec(RecPathEnd)});
    const std::string expected =
        ";:H A L0 ECN U0,0 D0,0 D0,400 D0,400 D400,400 D400,400 D400,0 D400,0 D0,0 U400,0   @ 0 U0,0  @  ";

    CCommPort port;
    ASSERT_TRUE(port.OpenPort(Settings("14400", "7", "E", "1.5"), pty.Path())) << port.OpenError().toStdString();
    EXPECT_TRUE(port.IsTerminal());
    EXPECT_TRUE(port.OpenPort());  // already open: true, nothing changes
    EXPECT_EQ(CurrentRate(pty.slave), 14400);
    CCutterSend send({});
    ASSERT_TRUE(send.OpenJob(job));
    QuietHooks hooks;
    EXPECT_EQ(send.Send(hooks, port), CCutterSend::Result::Completed);
    EXPECT_EQ(port.WriteBlock("x", 0), 0);
    EXPECT_TRUE(port.ClosePort());
    EXPECT_EQ(pty.Read(expected.size()), expected);
    EXPECT_TRUE(port.ClosePort());  // closed: nothing to do
    EXPECT_EQ(port.WriteBlock("x", 1), 0);

    // A plain file is written as it is, without line settings.
    const std::string dry = dir.File("dry-run.txt");
    test::WriteText(dry, "old content");
    CCommPort file;
    ASSERT_TRUE(file.OpenPort(Settings(), QString::fromStdString(dry)));
    EXPECT_FALSE(file.IsTerminal());
    EXPECT_EQ(file.WriteBlock("U1,2 ", 5), 5);
    EXPECT_TRUE(file.WriteByte('@'));
    EXPECT_TRUE(file.ClosePort());
    EXPECT_EQ(test::ReadBytes(dry), "U1,2 @");
}

TEST(CommPort, StalledLineIsCancelledWithinTheLimit) {
    Pty pty;
    CCommPort port;
    ASSERT_TRUE(port.OpenPort(Settings(), pty.Path()));
    // Nobody reads the master: the kernel's buffer fills and the write waits.
    std::atomic<bool> cancelled{false};
    std::chrono::steady_clock::time_point cancelAt;
    int queries = 0;
    port.SetCancelQuery([&] {
        ++queries;
        if (!cancelled) cancelAt = std::chrono::steady_clock::now(), cancelled = true;
        return true;
    });
    const std::string block(4 << 20, 'D');
    EXPECT_EQ(port.Write(block.data(), block.size()), CutterOutput::Status::Cancelled);
    const auto waited = std::chrono::steady_clock::now() - cancelAt;
    EXPECT_TRUE(cancelled);
    EXPECT_LT(waited, std::chrono::milliseconds(200));
    // A block not yet begun is not started at all once cancelled.
    EXPECT_EQ(port.Write("U0,0 ", 5), CutterOutput::Status::Cancelled);
    EXPECT_EQ(port.ErrorText(), "");
    port.ClosePort();
    EXPECT_FALSE(port.IsOpen());
}

TEST(CommPort, OtherEndClosedMidSendEndsTheSendWithTheError) {
    Pty pty;
    test::ScratchDir dir;
    const std::string job = BigJob(dir, 200000);
    CCommPort port;
    ASSERT_TRUE(port.OpenPort(Settings(), pty.Path()));
    // The cutter takes a little, then goes away (the slave's other holder too).
    std::thread cutter([&] {
        pty.Read(1000);
        close(pty.master);
        pty.master = -1;
    });
    close(pty.slave);
    pty.slave = -1;
    CCutterSend send({});
    ASSERT_TRUE(send.OpenJob(job));
    QuietHooks hooks;
    EXPECT_EQ(send.Send(hooks, port), CCutterSend::Result::OutputFailed);
    cutter.join();
    EXPECT_EQ(send.ErrorText(), pty.path + ": Input/output error");
    EXPECT_EQ(hooks.told, "");
    EXPECT_FALSE(port.ClosePort());
    EXPECT_FALSE(port.IsOpen());
}

TEST(CommPort, SecondOpenOfTheSameDeviceFailsAndEveryWayOutReleasesIt) {
    Pty pty;
    CCommPort first;
    ASSERT_TRUE(first.OpenPort(Settings(), pty.Path()));
    CCommPort second;
    EXPECT_FALSE(second.OpenPort(Settings(), pty.Path()));
    const QString lock = QStringLiteral("/LCK..") + QString::fromStdString(pty.path.substr(5)).replace(QLatin1Char('/'), QLatin1Char('_'));
    EXPECT_TRUE(second.OpenError().startsWith(pty.Path() + QStringLiteral(": in use by another program (process ") +
                                              QString::number(getpid()) + QStringLiteral(", lock file ")))
        << second.OpenError().toStdString();
    EXPECT_TRUE(second.OpenError().endsWith(lock + QLatin1Char(')'))) << second.OpenError().toStdString();
    EXPECT_FALSE(second.IsOpen());
    // The first send keeps the port.
    EXPECT_EQ(first.WriteBlock("U0,0 ", 5), 5);
    EXPECT_EQ(pty.Read(5), "U0,0 ");
    first.ClosePort();
    ASSERT_TRUE(second.OpenPort(Settings(), pty.Path())) << second.OpenError().toStdString();
    second.ClosePort();

    // A failed open (bad line settings) holds nothing afterwards.
    CCommPort bad;
    EXPECT_FALSE(bad.OpenPort(Settings("9600", "9"), pty.Path()));
    EXPECT_EQ(bad.OpenError(), pty.Path() + QStringLiteral(": the data bits \"9\" are not 5 to 8"));
    CCommPort after;
    EXPECT_TRUE(after.OpenPort(Settings(), pty.Path())) << after.OpenError().toStdString();
}

TEST(CommPort, LockFilesOfOtherProgramsAreHonouredUnlessTheirProcessIsGone) {
    Pty pty;
    test::ScratchDir locks;
    setenv("VELKAR_LOCK_DIR", locks.Path().c_str(), 1);
    const std::string lockFile = locks.Path() + "/LCK.." + pty.path.substr(5).replace(3, 1, "_");

    // Another program holds the device's lock file.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t other = fork();
    if (other == 0) {
        QLockFile held(QString::fromStdString(lockFile));
        const char ok = held.tryLock(0) ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    CCommPort port;
    EXPECT_FALSE(port.OpenPort(Settings(), pty.Path()));
    EXPECT_EQ(port.OpenError(), pty.Path() + QStringLiteral(": in use by another program (process ") +
                                    QString::number(other) + QStringLiteral(", lock file ") +
                                    QString::fromStdString(lockFile) + QLatin1Char(')'));

    // The program dies without removing its lock: the lock is stale and taken over.
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(lockFile)));
    EXPECT_TRUE(port.OpenPort(Settings(), pty.Path())) << port.OpenError().toStdString();
    port.ClosePort();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(lockFile)));
    unsetenv("VELKAR_LOCK_DIR");
}

TEST(CommPort, OpenFailuresNameThePortTheDeviceAndTheReason) {
    ProfileOverride profile;
    CCommPort port;
    profile.Write("[comm]\nport=COM2\n");
    EXPECT_FALSE(port.OpenPort());
    EXPECT_EQ(port.OpenError(), QStringLiteral("COM0 is not one of COM1 to COM4"));
    profile.Write("[comm]\nport=5\n");
    EXPECT_FALSE(port.OpenPort());
    EXPECT_EQ(port.OpenError(), QStringLiteral("COM5 is not one of COM1 to COM4"));
    profile.Write("[comm]\nport=2\ndevice2=/nonexistent/ttyUSB7\n");
    EXPECT_FALSE(port.OpenPort());
    EXPECT_EQ(port.OpenError(), QStringLiteral("/nonexistent/ttyUSB7: No such file or directory"));
    EXPECT_FALSE(port.OpenPort(Settings(), QStringLiteral("/")));
    EXPECT_EQ(port.OpenError(), QStringLiteral("/: not a device, a named pipe or a file"));

    struct stat st {};
    st.st_mode = S_IFCHR | 0600;
    EXPECT_EQ(CCommPort::DescribeOpenError(QStringLiteral("/dev/ttyUSB0"), EACCES, &st),
              QStringLiteral("/dev/ttyUSB0: Permission denied (the group dialout grants access)"));
    EXPECT_EQ(CCommPort::DescribeOpenError(QStringLiteral("/dev/usb/lp0"), EACCES, nullptr),
              QStringLiteral("/dev/usb/lp0: Permission denied (the group lp grants access)"));
    // The device's own group, when it may write, is the one named.
    if (const struct group* g = getgrnam("uucp")) {
        st.st_mode = S_IFCHR | 0660;
        st.st_gid = g->gr_gid;
        EXPECT_EQ(CCommPort::DescribeOpenError(QStringLiteral("/dev/ttyUSB0"), EACCES, &st),
                  QStringLiteral("/dev/ttyUSB0: Permission denied (the group uucp grants access)"));
    }
    EXPECT_EQ(CCommPort::DescribeOpenError(QStringLiteral("/dev/ttyS0"), EBUSY, &st),
              QStringLiteral("/dev/ttyS0: Device or resource busy"));
}

namespace {

using test::CliRun;
using test::RunVelkar;

}  // namespace

TEST(CutCommand, CutsThroughAPseudoTerminalAndCtrlCCancelsAStalledSend) {
    ProfileOverride profile;
    test::ScratchDir dir;
    const std::string square = dir.File("square.PT1");
    test::WriteRecords(square, {Rec(RecHeaderCount, 10, 4), Rec(RecHeaderMin, 0, 0), Rec(RecHeaderMax, 400, 400),
                                Rec(RecJobStart), Rec(RecMove, 0, 0), Rec(RecLine, 400, 0), Rec(RecLine, 400, 400),
                                Rec(RecLine, 0, 400), Rec(RecLine, 0, 0), Rec(RecPathEnd)});
    const std::string expected =
        ";:H A L0 ECN U0,0 D0,0 D0,400 D0,400 D400,400 D400,400 D400,0 D400,0 D0,0 U400,0   @ 0 U0,0  @  ";
    {
        Pty pty;
        CliRun run = RunVelkar({"cut", square, "--device", pty.path, "--yes", "--speed", "14400", "--stop", "1.5"});
        EXPECT_EQ(run.code, cli::ExitOk) << run.err;
        EXPECT_EQ(run.out, "sent 7 records, 96 bytes to " + pty.path + "\n");
        EXPECT_EQ(pty.Read(expected.size()), expected);
    }
    {
        // Nobody reads: once the first bytes arrive the operator presses Ctrl-C.
        Pty pty;
        const std::string big = BigJob(dir, 400000);
        std::thread operatorAtKeyboard([&] {
            pollfd p{pty.master, POLLIN, 0};
            poll(&p, 1, 10000);
            kill(getpid(), SIGINT);
        });
        CliRun run = RunVelkar({"cut", big, "--device", pty.path, "--yes"});
        operatorAtKeyboard.join();
        EXPECT_EQ(run.code, cli::ExitCancelled);
        EXPECT_EQ(run.out, "");
        // The one long path was being sent: a restart begins with it.
        const std::string tail = " cancle send \nstopped in path 1 of 1\n";
        ASSERT_GE(run.err.size(), tail.size());
        EXPECT_EQ(run.err.substr(run.err.size() - tail.size()), tail);
    }
    profile.Write("[comm]\nport=2\ndevice2=/nonexistent/ttyUSB9\n");
    CliRun run = RunVelkar({"cut", square, "--yes"});
    EXPECT_EQ(run.code, cli::ExitFileError);
    EXPECT_EQ(run.err, "serial can't open\n/nonexistent/ttyUSB9: No such file or directory\n");
    EXPECT_EQ(RunVelkar({"cut", square, "--port", "5"}).err, "velkar: --port takes a port number from 1 to 4\n");
    EXPECT_EQ(RunVelkar({"cut", square, "--stop", "3"}).err, "velkar: --stop takes 1, 1.5 or 2\n");
    EXPECT_EQ(RunVelkar({"cut", square, "--port", "1", "--device", "/dev/null"}).err,
              "velkar: --port and --device exclude each other\n");
}

TEST(CommPort, OtherDevicesAreWrittenAsTheyAreAndTheirFailuresReported) {
    // A device that refuses every byte: the write fails with the device and the reason.
    CCommPort full;
    ASSERT_TRUE(full.OpenPort(Settings(), QStringLiteral("/dev/full"))) << full.OpenError().toStdString();
    EXPECT_FALSE(full.IsTerminal());
    EXPECT_EQ(full.Write("U0,0 ", 5), CutterOutput::Status::Failed);
    EXPECT_EQ(full.ErrorText(), "/dev/full: No space left on device");
    EXPECT_EQ(full.WriteBlock("U0,0 ", 5), -1);
    EXPECT_FALSE(full.ClosePort());

    // A named pipe whose reader goes away ends the send with an error, not the program.
    test::ScratchDir dir;
    const std::string fifo = dir.File("cutter.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CCommPort nobody;
    EXPECT_FALSE(nobody.OpenPort(Settings(), QString::fromStdString(fifo)));
    EXPECT_EQ(nobody.OpenError(), QString::fromStdString(fifo) + QStringLiteral(": No such device or address"));
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    CCommPort pipe;
    ASSERT_TRUE(pipe.OpenPort(Settings(), QString::fromStdString(fifo))) << pipe.OpenError().toStdString();
    EXPECT_EQ(pipe.WriteBlock("D1,2 ", 5), 5);
    char got[8] = {};
    EXPECT_EQ(read(reader, got, sizeof got), 5);
    EXPECT_STREQ(got, "D1,2 ");
    close(reader);
    EXPECT_EQ(pipe.Write("D3,4 ", 5), CutterOutput::Status::Failed);
    EXPECT_EQ(pipe.ErrorText(), fifo + ": Broken pipe");
}
