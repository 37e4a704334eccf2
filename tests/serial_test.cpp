#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <grp.h>
#include <pwd.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>

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
using velkar::test::CliRun;
using velkar::test::Rec;
using velkar::test::RunVelkar;

namespace {

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
    // What has arrived so far, without waiting.
    std::string ReadAvailable() const {
        std::string got;
        char buffer[65536];
        for (;;) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 0) != 1 || !(p.revents & POLLIN)) return got;
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) return got;
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }
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

// Every test here keeps its lock files in a private directory, never in the
// machine's /run/lock.
class PrivateLockDir : public testing::Environment {
public:
    void SetUp() override {
        m_dir = std::make_unique<test::ScratchDir>();
        chmod(m_dir->Path().c_str(), 0777);  // also for a test that runs as another user
        setenv("VELKAR_LOCK_DIR", m_dir->Path().c_str(), 1);
    }
    void TearDown() override { m_dir.reset(); }
    static std::string Path() { return std::getenv("VELKAR_LOCK_DIR"); }

private:
    std::unique_ptr<test::ScratchDir> m_dir;
};
testing::Environment* const g_locks = testing::AddGlobalTestEnvironment(new PrivateLockDir);

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

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

// A private character device with the numbers of a kernel device (1,3 null,
// 1,7 full), owned by root and `gid`; false when nodes cannot be made here.
bool MakeDevice(const std::string& path, unsigned minor, mode_t mode, gid_t gid = 0) {
    return mknod(path.c_str(), S_IFCHR | mode, makedev(1, minor)) == 0 && chmod(path.c_str(), mode) == 0 &&
           chown(path.c_str(), 0, gid) == 0;
}

class FixedWait : public OutputWait {
public:
    explicit FixedWait(Verdict verdict) : m_verdict(verdict) {}
    Verdict Idle(bool, bool) override { return m_verdict; }

private:
    Verdict m_verdict;
};

class QuietHooks : public CutterSendHooks {
public:
    void Tell(std::string_view text) override { told += text; }
    std::string told;
};

std::string SquareJob(const test::ScratchDir& dir) {
    test::WriteRecords(dir.File("square.PT1"), test::SquareJob());
    return dir.File("square.PT1");
}

}  // namespace

using test::ProfileOverride;
using test::SquareStream;

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
    const struct {
        const char *speed, *data, *parity, *stop;
        bool standard;  // 14400 has no constant of its own: it is set separately
        speed_t rate;
        tcflag_t size, parityBits;
        bool twoStop;
    } cases[] = {
        {"14400", "7", "E", "1.5", false, B38400, CS7, PARENB, true},
        {"300", "5", "O", "2", true, B300, CS5, PARENB | PARODD, true},
        {"9600", "8", "N", "1", true, B9600, CS8, 0, false},
        {"1200", "8", "N", "1", true, B1200, CS8, 0, false},
        {"2400", "8", "N", "1", true, B2400, CS8, 0, false},
        {"4800", "8", "N", "1", true, B4800, CS8, 0, false},
        {"9600", "6", "X", "3", true, B9600, CS6, 0, false},  // unlisted parity and stop: none and one
    };
    QString error;
    LineParameters line;
    termios t {};  // kept from case to case: bits set before must be cleared
    for (const auto& c : cases) {
        ASSERT_TRUE(line.FromSettings(Settings(c.speed, c.data, c.parity, c.stop), error)) << c.speed;
        t.c_oflag = OPOST | ONLCR;
        t.c_lflag = ECHO | ICANON | ISIG;
        t.c_iflag = ICRNL | IXON;
        EXPECT_EQ(line.ApplyTo(t), c.standard) << c.speed;
        EXPECT_EQ(cfgetospeed(&t), c.rate) << c.speed;
        EXPECT_EQ(t.c_cflag & CSIZE, c.size) << c.speed;
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD), c.parityBits) << c.speed;
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop) << c.speed;
        EXPECT_EQ(t.c_cflag & (CRTSCTS | CREAD), tcflag_t{CRTSCTS | CREAD});
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG), 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | IXON), 0u);
    }

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
    const std::string job = SquareJob(dir);

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
    EXPECT_EQ(pty.Read(SquareStream.size()), SquareStream);
    EXPECT_TRUE(port.ClosePort());  // closed: nothing to do
    EXPECT_EQ(port.WriteBlock("x", 1), 0);

    // An empty plain file takes a dry run, without line settings; a file with
    // content (a mistyped device) is left as it is.
    const std::string dry = dir.File("dry-run.txt");
    test::WriteText(dry, "old content");
    CCommPort file;
    EXPECT_FALSE(file.OpenPort(Settings(), QString::fromStdString(dry)));
    EXPECT_EQ(file.OpenError(), QString::fromStdString(dry) +
                                    QStringLiteral(": a file that is not empty is not written over (for a dry run use "
                                                   "'velkar stream JOB -o FILE')"));
    EXPECT_EQ(test::ReadBytes(dry), "old content");
    test::WriteText(dry, "");
    ASSERT_TRUE(file.OpenPort(Settings(), QString::fromStdString(dry))) << file.OpenError().toStdString();
    EXPECT_FALSE(file.IsTerminal());
    EXPECT_EQ(file.WriteBlock("U1,2 ", 5), 5);
    EXPECT_TRUE(file.WriteByte('@'));
    EXPECT_TRUE(file.ClosePort());
    EXPECT_EQ(test::ReadBytes(dry), "U1,2 @");
}

TEST(CommPort, StalledLineDropsOrStopsAsItsWaitDecides) {
    Pty pty;
    CCommPort port;
    ASSERT_TRUE(port.OpenPort(Settings(), pty.Path()));
    // Nobody reads the master: the kernel's buffer fills and the write waits.
    const std::string block(1 << 20, 'D');
    FixedWait drop(OutputWait::Verdict::Drop);
    EXPECT_EQ(port.Write(block.data(), block.size(), drop), CutterOutput::Status::Dropped);
    // A block not begun is not started after Stop.
    FixedWait stop(OutputWait::Verdict::Stop);
    EXPECT_EQ(port.Write("U0,0 ", 5, stop), CutterOutput::Status::Cancelled);
    EXPECT_EQ(port.ErrorText(), "");
    EXPECT_FALSE(port.ClosePort());  // what the line held is discarded
    EXPECT_FALSE(port.IsOpen());
}

TEST(CommPort, OtherEndClosedMidSendEndsTheSendWithTheError) {
    Pty pty;
    test::ScratchDir dir;
    const std::string job = test::WriteZigzagJob(dir, 200000);
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
    EXPECT_EQ(second.OpenError(), pty.Path() + QStringLiteral(": in use by another program (process ") +
                                      QString::number(getpid()) + QLatin1Char(')'));
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
    const std::string lockFile = PrivateLockDir::Path() + "/LCK.." + pty.path.substr(5).replace(3, 1, "_");
    const QString device = pty.Path();

    // Our own lock is written as the other serial programs write and read it.
    CCommPort port;
    ASSERT_TRUE(port.OpenPort(Settings(), device)) << port.OpenError().toStdString();
    char own[16];
    std::snprintf(own, sizeof own, "%10d\n", static_cast<int>(getpid()));
    EXPECT_EQ(test::ReadBytes(lockFile), own);
    port.ClosePort();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(lockFile)));

    // Another program, alive, holds the device's lock in each format.
    const pid_t other = fork();
    if (other == 0) {
        pause();
        _exit(0);
    }
    ASSERT_GT(other, 0);
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(other));
    const std::int32_t binaryPid = other;
    const QString inUse =
        device + QStringLiteral(": in use by another program (process ") + QString::number(other) + QLatin1Char(')');
    const QString unreadable = device + QStringLiteral(": the lock file ") + QString::fromStdString(lockFile) +
                               QStringLiteral(" names no process; delete it if no program uses the device");
    const struct {
        std::string content;
        QString error;
    } cases[] = {
        {text, inUse},
        {std::string(reinterpret_cast<const char*>(&binaryPid), 4), inUse},
        {std::to_string(other) + "\nvelkar\nhost\n", inUse},  // as this program wrote it before
        {"garbage\n", unreadable},
        {"", unreadable},
    };
    for (const auto& c : cases) {
        test::WriteText(lockFile, c.content);
        EXPECT_FALSE(port.OpenPort(Settings(), device));
        EXPECT_EQ(port.OpenError(), c.error);
        EXPECT_EQ(test::ReadBytes(lockFile), c.content);  // left for its owner
    }

    // The program dies without removing its lock: the lock is stale and taken over.
    test::WriteText(lockFile, text);
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    EXPECT_TRUE(port.OpenPort(Settings(), device)) << port.OpenError().toStdString();
    EXPECT_EQ(test::ReadBytes(lockFile), own);
    port.ClosePort();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(lockFile)));
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

    EXPECT_EQ(CCommPort::DescribeOpenError(QStringLiteral("/dev/usb/lp0"), EACCES, nullptr),
              QStringLiteral("/dev/usb/lp0: Permission denied (the group lp grants access)"));
    struct stat st {};
    EXPECT_EQ(CCommPort::DescribeOpenError(QStringLiteral("/dev/ttyS0"), EBUSY, &st),
              QStringLiteral("/dev/ttyS0: Device or resource busy"));
}

namespace {

// The open error the port gives to the unprivileged user nobody, in a child.
std::string OpenErrorAsNobody(const std::string& device) {
    return test::InChild([&] {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) return std::string("no user change");
        CCommPort port;
        return port.OpenPort(Settings(), QString::fromStdString(device)) ? "opened" : port.OpenError().toStdString();
    });
}

}  // namespace

TEST(CommPort, PermissionErrorsNameWhoMayWriteToTheDevice) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to make device nodes and to become another user";
    test::ScratchDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);  // nobody reaches the nodes
    const struct group* named = getgrnam("uucp");
    if (!named) named = getgrnam("tty");
    ASSERT_NE(named, nullptr);
    const std::string namedGroup = named->gr_name;
    const struct {
        const char* node;
        mode_t mode;
        gid_t gid;
        std::string who;
    } cases[] = {
        {"ttyUSB0", 0660, named->gr_gid, "the group " + namedGroup + " grants access"},
        {"ttyUSB1", 0660, 54321, "the group 54321 grants access"},  // a group without a name
        {"ttyS9", 0600, 0, "only its owner, root, may write to it"},
    };
    for (const auto& c : cases) {
        const std::string node = dir.File(c.node);
        if (!MakeDevice(node, 3, c.mode, c.gid)) GTEST_SKIP() << "device nodes cannot be made here";
        EXPECT_EQ(OpenErrorAsNobody(node), node + ": Permission denied (" + c.who + ")");
    }
}

TEST(CutCommand, CutsThroughAPseudoTerminalAndCtrlCCancelsAStalledSend) {
    ProfileOverride profile;
    test::ScratchDir dir;
    const std::string square = SquareJob(dir);
    {
        Pty pty;
        CliRun run = RunVelkar({"cut", square, "--device", pty.path, "--yes", "--speed", "14400", "--stop", "1.5"});
        EXPECT_EQ(run.code, cli::ExitOk) << run.err;
        EXPECT_EQ(run.out, "sent 7 records, 96 bytes to " + pty.path + "\n");
        EXPECT_EQ(pty.Read(SquareStream.size()), SquareStream);
    }
    {
        // Nobody reads: the line fills and stays still; the operator presses
        // Ctrl-C, and only later does the cutter read again.
        Pty pty;
        const std::string big = test::WriteZigzagJob(dir, 400000);
        std::atomic<bool> ended{false};
        std::string got;
        std::thread operatorAtKeyboard([&] {
            pollfd p{pty.master, POLLIN, 0};
            poll(&p, 1, 10000);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            kill(getpid(), SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            while (!ended) got += pty.ReadAvailable(), std::this_thread::sleep_for(std::chrono::milliseconds(5));
            got += pty.ReadAvailable();
        });
        CliRun run = RunVelkar({"cut", big, "--device", pty.path, "--yes"});
        ended = true;
        operatorAtKeyboard.join();
        EXPECT_EQ(run.code, cli::ExitCancelled);
        EXPECT_EQ(run.out, "");
        // The one long path was being sent: a restart begins with it.
        EXPECT_TRUE(EndsWith(run.err, " cancle send \nstopped in path 1 of 1\n")) << run.err;
        // The cutter holds the start of the stream, up to the end of a command.
        const std::string full = RunVelkar({"stream", big}).out;
        ASSERT_FALSE(got.empty());
        EXPECT_LT(got.size(), full.size());
        EXPECT_EQ(full.compare(0, got.size(), got), 0);
        EXPECT_EQ(got.back(), ' ');

        // Unattended, a line that stays still ends the send.
        Pty still;
        run = RunVelkar({"cut", big, "--device", still.path, "--yes", "--stall-timeout", "1"});
        EXPECT_EQ(run.code, cli::ExitFileError);
        EXPECT_TRUE(EndsWith(run.err, "velkar: send stopped: the cutter has taken nothing for 1 s; stopped in path 1 of 1\n" +
                                          std::string(CCutterSend::UnfinishedText) + "\n"))
            << run.err;
    }
    profile.Write("[comm]\nport=2\ndevice2=/nonexistent/ttyUSB9\n");
    CliRun run = RunVelkar({"cut", square, "--yes"});
    EXPECT_EQ(run.code, cli::ExitFileError);
    EXPECT_EQ(run.err, "serial can't open\n/nonexistent/ttyUSB9: No such file or directory\n");
    EXPECT_EQ(RunVelkar({"cut", square, "--port", "5"}).err, "velkar: --port takes a port number from 1 to 4\n");
    EXPECT_EQ(RunVelkar({"cut", square, "--stop", "3"}).err, "velkar: --stop takes 1, 1.5 or 2\n");
    EXPECT_EQ(RunVelkar({"cut", square, "--stall-timeout", "0.5"}).err,
              "velkar: --stall-timeout takes a number of seconds from 1 to 86400\n");
    EXPECT_EQ(RunVelkar({"cut", square, "--port", "1", "--device", "/dev/null"}).err,
              "velkar: --port and --device exclude each other\n");
}

TEST(CommPort, OtherDevicesAreWrittenAsTheyAreAndTheirFailuresReported) {
    // A device that refuses every byte: the write fails with the device and the reason.
    test::ScratchDir dir;
    const std::string fullNode = dir.File("full");
    if (MakeDevice(fullNode, 7, 0600)) {
        CCommPort full;
        ASSERT_TRUE(full.OpenPort(Settings(), QString::fromStdString(fullNode))) << full.OpenError().toStdString();
        EXPECT_FALSE(full.IsTerminal());
        EXPECT_EQ(full.WriteBlock("U0,0 ", 5), -1);
        EXPECT_EQ(full.ErrorText(), fullNode + ": No space left on device");
        EXPECT_FALSE(full.ClosePort());
    }

    // A named pipe whose reader goes away ends the send with an error, not the program.
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
    EXPECT_EQ(pipe.WriteBlock("D3,4 ", 5), -1);
    EXPECT_EQ(pipe.ErrorText(), fifo + ": Broken pipe");
}
