#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cups/cups.h>

#include <QFile>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cutter/cuttersend.h"
#include "serial/commport.h"
#include "serial/cupsqueue.h"
#include "serial/lineparameters.h"
#include "serial/profile.h"
#include "serial/serialsettings.h"
#include "serial/socketport.h"
#include "clirun.h"
#include "testsupport.h"

// Lets failed expectations show QString values as text.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace velkar;
using velkar::test::CliRun;
using velkar::test::ProfileOverride;
using velkar::test::Rec;
using velkar::test::RunVelkar;
using velkar::test::SquareStream;

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
    // Reads until `count` bytes have arrived or the line ends; without `wait`, only what is there already.
    std::string Read(std::size_t count, bool wait = true) const {
        std::string got;
        char buffer[65536];
        for (pollfd p{master, POLLIN, 0};
             got.size() < count && (wait || (poll(&p, 1, 0) == 1 && p.revents & POLLIN));) {
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

// Stops a block not yet begun; drops one that is, noting that it was asked.
class Abandoning : public OutputWait {
public:
    Verdict Idle(bool, bool begun) override { return begun ? (asked = true, Verdict::Drop) : Verdict::Stop; }
    bool asked = false;
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

TEST(SerialSettings, DefaultsOrdersAndUnmatchedTextsSurviveASave) {
    ProfileOverride profile;
    CSerialSettings s;
    s.LoadSettings();
    const QStringList line = {s.GetPort(), s.GetSpeed(), s.GetParity(), s.GetDataBits(), s.GetStopBits()};
    EXPECT_EQ(line.join(QLatin1Char(' ')), QStringLiteral("1 9600 N 8 1"));
    EXPECT_EQ(QStringList({s.DeviceForPort(0), s.DeviceForPort(1), s.DeviceForPort(4), s.DeviceForPort(5)}),
              QStringList({QString(), QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS3"), QString()}));

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
    const auto size = [] {
        const MaterialSize m = LoadMaterialSize();
        return std::to_string(m.length) + " x " + std::to_string(m.width);
    };
    EXPECT_EQ(size(), "200 x 200");
    profile.Write("[material]\nlength=12mm\nwidth=wide\n");
    EXPECT_EQ(size(), "12 x 0");
    SaveMaterialSize({1000000, -5});
    EXPECT_EQ(test::ReadBytes(profile.IniPath()), "[material]\nlength=1000000\nwidth=-5\n");
    EXPECT_EQ(size(), "1000000 x -5");
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
        EXPECT_EQ(std::tuple(cfgetospeed(&t), t.c_cflag & CSIZE, t.c_cflag & (PARENB | PARODD), !!(t.c_cflag & CSTOPB)),
                  std::tuple(c.rate, c.size, c.parityBits, c.twoStop))
            << c.speed;
        // Raw, with hardware flow control.
        EXPECT_EQ(std::tuple(t.c_cflag & (CRTSCTS | CREAD), t.c_oflag & OPOST, t.c_lflag & (ECHO | ICANON | ISIG),
                             t.c_iflag & (ICRNL | IXON)),
                  std::tuple(tcflag_t{CRTSCTS | CREAD}, 0u, 0u, 0u));
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
    // Nobody reads the master: the kernel's buffer fills and the write waits, begun, until dropped.
    const std::string block(1 << 20, 'D');
    Abandoning abandon;
    EXPECT_EQ(port.Write(block.data(), block.size(), abandon), CutterOutput::Status::Dropped);
    EXPECT_TRUE(abandon.asked);
    // A block not begun is not started after Stop.
    EXPECT_EQ(port.Write("U0,0 ", 5, abandon), CutterOutput::Status::Cancelled);
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
    // "COM2" is read as atoi reads it.
    for (const auto& [ini, error] : {std::pair{"port=COM2", "COM0 is not one of COM1 to COM4"},
                                     std::pair{"port=5", "COM5 is not one of COM1 to COM4"},
                                     std::pair{"port=2\ndevice2=/nonexistent/ttyUSB7",
                                               "/nonexistent/ttyUSB7: No such file or directory"}}) {
        profile.Write("[comm]\n" + std::string(ini) + "\n");
        EXPECT_FALSE(port.OpenPort());
        EXPECT_EQ(port.OpenError().toStdString(), error);
    }
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

TEST(CutCommand, CtrlCCancelsAStalledSendAndAStillLineEndsAnUnattendedOne) {
    ProfileOverride profile;
    test::ScratchDir dir;
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
        while (!ended) got += pty.Read(SIZE_MAX, false), std::this_thread::sleep_for(std::chrono::milliseconds(5));
        got += pty.Read(SIZE_MAX, false);
    });
    CliRun run = RunVelkar({"cut", big, "--device", pty.path, "--yes"});
    ended = true;
    operatorAtKeyboard.join();
    EXPECT_EQ(run.code, cli::ExitCancelled);
    EXPECT_EQ(run.out, "");
    // The one long path was being sent: a restart begins with it.
    EXPECT_TRUE(run.err.ends_with(" cancle send \nstopped in path 1 of 1\n")) << run.err;
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
    EXPECT_TRUE(run.err.ends_with("velkar: send stopped: the cutter has taken nothing for 1 s; stopped in path 1 of 1\n"
                                  "the cutter may hold an unfinished command: reset the cutter before the next job\n"))
        << run.err;

    EXPECT_EQ(RunVelkar({"cut", big, "--port", "5"}).err, "velkar: --port takes a port number from 1 to 4\n");
    EXPECT_EQ(RunVelkar({"cut", big, "--stop", "3"}).err, "velkar: --stop takes 1, 1.5 or 2\n");
    EXPECT_EQ(RunVelkar({"cut", big, "--stall-timeout", "0.5"}).err,
              "velkar: --stall-timeout takes a number of seconds from 1 to 86400\n");
    EXPECT_EQ(RunVelkar({"cut", big, "--port", "1", "--device", still.path}).err,
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

namespace {

// 127.0.0.1 at `port` (0: any free port).
sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// A cutter on 127.0.0.1: reads everything until the sender closes, or takes
// the connection and never reads, or closes it at once.
class Listener {
public:
    enum class Mode { Read, Hold, Close };

    explicit Listener(Mode mode) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = Loopback(0);
        socklen_t len = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_fd, 4) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            ADD_FAILURE() << "no listening socket on 127.0.0.1";
        port = ntohs(a.sin_port);
        m_thread = std::thread([this, mode] {
            const int c = ::accept(m_fd, nullptr, nullptr);
            if (c < 0) return;
            if (mode == Mode::Read) {
                char buffer[65536];
                for (ssize_t n; (n = ::read(c, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(n));
            } else if (mode == Mode::Hold) {
                while (!m_bStop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            ::close(c);
            done = true;
        });
    }
    ~Listener() {
        m_bStop = true;
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    std::string Uri() const { return "socket://127.0.0.1:" + std::to_string(port); }
    // Waits (at most a generous minute) until the sender has closed.
    bool WaitDone() const {
        for (int i = 0; i < 6000 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return done;
    }

    int port = 0;
    std::string received;
    std::atomic<bool> done{false};

private:
    int m_fd = -1;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

}  // namespace

// The print system's test below sends the other dialect.
TEST(SocketPort, CutterReceivesExactlyTheStream) {
    ProfileOverride profile;
    test::ScratchDir dir;
    const std::string job = test::WriteZigzagJob(dir, 20000);
    Listener cutter(Listener::Mode::Read);
    // The line settings are taken and have no say over a network cutter.
    const CliRun run = RunVelkar({"cut", job, "--device", cutter.Uri(), "--yes", "--speed", "14400", "--stop", "1.5"});
    EXPECT_EQ(run.code, cli::ExitOk) << run.err;
    ASSERT_TRUE(cutter.WaitDone());
    const std::string expected = RunVelkar({"stream", job}).out;
    EXPECT_GT(expected.size(), 100000u);
    EXPECT_TRUE(cutter.received == expected) << cutter.received.size() << " of " << expected.size() << " bytes";
    EXPECT_EQ(run.out, "sent 20003 records, " + std::to_string(expected.size()) + " bytes to " + cutter.Uri() + "\n");
}

// The port's stored device and language, and the knives' stored speed and force.
TEST(SocketPort, StoredDeviceDialectAndKnifeSettingsReachTheCutter) {
    ProfileOverride profile;
    test::ScratchDir dir;
    const std::string job = dir.File("knife.PT1");
    test::WriteRecords(job, {Rec(RecHeaderCount, 8, 4), Rec(RecHeaderMin), Rec(RecHeaderMax, 0, 50), Rec(RecKnife, 2),
                             Rec(RecMove, 0, 0), Rec(RecLine, 50, 0), Rec(RecLine, 50, 50), Rec(RecPathEnd)});
    Listener cutter(Listener::Mode::Read);
    profile.Write("[comm]\nport=3\ndevice3=" + cutter.Uri() + "\ndialect3=HP-GL\n[knife]\nspeed2=25\nforce2=300\n");
    EXPECT_EQ(RunVelkar({"cut", job, "--define-color", "--yes"}).code, cli::ExitOk);
    ASSERT_TRUE(cutter.WaitDone());
    EXPECT_EQ(cutter.received, "IN;SP2;VS25;FS300;PU0,0;PD50,0,50,50;PU;SP0;PU0,50;");

    profile.Write("[comm]\nport=3\ndialect3=GP-GL\n");
    EXPECT_EQ(RunVelkar({"cut", job, "--yes"}).err, "velkar: COM3: the stored dialect 'GP-GL' is not one of Velkar, HP-GL\n");
    profile.Write("[knife]\nforce8=heavy\n");
    EXPECT_EQ(RunVelkar({"cut", job, "--yes"}).err,
              "velkar: profile key knife/force8 is 'heavy': it takes a whole number from 1 to 1000\n");
}

TEST(SocketPort, StalledCutterIsLeftWithinTheLimitAndAClosedOneEndsTheSend) {
    Listener stalled(Listener::Mode::Hold);
    CSocketPort port;
    ASSERT_TRUE(port.Connect(QString::fromStdString(stalled.Uri()))) << port.OpenError().toStdString();
    // The cutter takes nothing: once the block is begun and stuck, the operator abandons it.
    Abandoning abandon;
    const std::string block(16 << 20, 'D');
    EXPECT_EQ(port.Write(block.data(), block.size(), abandon), CutterOutput::Status::Dropped);
    EXPECT_TRUE(abandon.asked);
    EXPECT_EQ(port.Write("U0,0 ", 5, abandon), CutterOutput::Status::Cancelled);
    EXPECT_FALSE(port.Close());  // the queued rest is dropped, not delivered
    EXPECT_EQ(port.ErrorText(), "");

    Listener gone(Listener::Mode::Close);
    test::ScratchDir dir;
    CSocketPort second;
    ASSERT_TRUE(second.Connect(QString::fromStdString(gone.Uri())));
    CCutterSend send({});
    ASSERT_TRUE(send.OpenJob(test::WriteZigzagJob(dir, 400000)));
    CutterSendHooks hooks;
    EXPECT_EQ(send.Send(hooks, second), CCutterSend::Result::OutputFailed);
    EXPECT_EQ(send.ErrorText(), gone.Uri() + ": the cutter closed the connection");
    EXPECT_FALSE(second.Close());
}

TEST(SocketPort, AddressesAreReadAsThePrintSystemWritesThem) {
    struct Case {
        const char* uri;
        const char* host;
        int port;
        const char* error;
    } cases[] = {
        {"socket://cutter.local", "cutter.local", 9100, ""},
        {"socket://10.0.0.7:4000/", "10.0.0.7", 4000, ""},
        {"socket://[fe80::1]:9101", "fe80::1", 9101, ""},
        {"socket://[fe80::1]", "fe80::1", 9100, ""},
        {"socket://host:0", "", 0, "socket://host:0: the port must be a number from 1 to 65535"},
        {"socket://host:", "", 0, "socket://host:: the port must be a number from 1 to 65535"},
        {"socket://:9100", "", 0, "socket://:9100: no host is named"},
        {"socket://[::1", "", 0, "socket://[::1: the address lacks its closing ]"},
    };
    for (const Case& c : cases) {
        QString host, error;
        int port = 0;
        const bool ok = CSocketPort::ParseUri(QString::fromLatin1(c.uri), host, port, error);
        EXPECT_EQ(ok, *c.error == '\0') << c.uri;
        EXPECT_EQ(error.toStdString(), c.error) << c.uri;
        if (ok) {
            EXPECT_EQ(host.toStdString() + ":" + std::to_string(port),
                      std::string(c.host) + ":" + std::to_string(c.port));
        }
    }
    ProfileOverride profile;
    test::ScratchDir dir;
    const CliRun run = RunVelkar({"cut", test::WriteZigzagJob(dir, 1), "--device", "socket://127.0.0.1:1", "--yes"});
    EXPECT_EQ(run.code, cli::ExitFileError);
    EXPECT_EQ(run.err, "serial can't open\nsocket://127.0.0.1:1: Connection refused\n");
}

namespace {

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// A print system of the test's own: cupsd with its configuration, spool and
// state in a scratch folder, listening on a free port of 127.0.0.1 only, with
// every operation allowed without a password.
class PrivateCups {
public:
    PrivateCups() {
        ::chmod(m_dir.Path().c_str(), 0755);  // cupsd's helpers run as lp
        m_nPort = Listener(Listener::Mode::Close).port;  // free again once that listener is gone
        for (const char* sub : {"cache", "state", "spool", "root", "log"}) {
            const std::string path = m_dir.File(sub);
            ::mkdir(path.c_str(), 0775);
            if (::chown(path.c_str(), 0, 7) != 0) {}  // group lp
        }
        test::WriteText(m_dir.File("cups-files.conf"),
                        "User lp\nGroup lp\nCacheDir " + m_dir.File("cache") + "\nStateDir " + m_dir.File("state") +
                            "\nRequestRoot " + m_dir.File("spool") + "\nTempDir " + m_dir.File("spool") +
                            "\nServerRoot " + m_dir.File("root") + "\nErrorLog " + m_dir.File("log/error_log") +
                            "\nAccessLog " + m_dir.File("log/access_log") + "\nPageLog " + m_dir.File("log/page_log") +
                            "\n");
        test::WriteText(m_dir.File("cupsd.conf"),
                        "Listen 127.0.0.1:" + std::to_string(m_nPort) +
                            "\nDefaultAuthType None\nBrowsing Off\nWebInterface No\nLogLevel warn\n"
                            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                            "<Policy default>\n  <Limit All>\n    Order deny,allow\n    Allow all\n  </Limit>\n"
                            "</Policy>\n");
        m_pid = ::fork();
        if (m_pid == 0) {
            const std::string conf = m_dir.File("cupsd.conf"), files = m_dir.File("cups-files.conf");
            if (!std::freopen(m_dir.File("log/stderr").c_str(), "w", stderr) ||
                !std::freopen(m_dir.File("log/stdout").c_str(), "w", stdout))
                ::_exit(126);
            ::execlp("cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Until it listens, for at most ten seconds, or until it has ended.
        for (int i = 0; i < 200 && !Accepts(m_nPort) && ::waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (Accepts(m_nPort)) {
            server = "127.0.0.1:" + std::to_string(m_nPort);
            setenv("CUPS_SERVER", server.c_str(), 1);
            cupsSetServer(server.c_str());
        } else {
            if (::waitpid(m_pid, nullptr, WNOHANG) == 0) ::kill(m_pid, SIGTERM);  // alive but deaf
            m_pid = -1;
            whyNot = "cupsd did not start: " + test::ReadBytes(m_dir.File("log/stderr")) +
                     test::ReadBytes(m_dir.File("log/error_log"));
        }
    }
    ~PrivateCups() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
    }
    // Runs one of the print system's administration commands against this server.
    int Admin(const std::string& command) const {
        const std::string log = m_dir.File("log/admin");
        return std::system((command + " -h " + server + " >>'" + log + "' 2>&1 <'" + log + "'").c_str());
    }

    std::string server;  // empty when cupsd could not start
    std::string whyNot;

private:
    test::ScratchDir m_dir;
    int m_nPort = 0;
    pid_t m_pid = -1;
};

}  // namespace

TEST(CupsQueue, RawJobReachesTheCutterUnchangedAndStoppedOrMissingQueuesAreNamed) {
    PrivateCups cups;
    if (cups.server.empty()) GTEST_SKIP() << cups.whyNot;
    ProfileOverride profile;
    test::ScratchDir dir;
    const std::string job = test::WriteZigzagJob(dir, 5000);
    Listener cutter(Listener::Mode::Read);
    ASSERT_EQ(cups.Admin("lpadmin -p plotter -E -v " + cutter.Uri()), 0);
    EXPECT_TRUE(CCupsQueue::ListQueues().contains(QStringLiteral("cups:plotter")));

    CliRun run = RunVelkar({"cut", job, "--queue", "plotter", "--dialect", "hpgl", "--yes"});
    EXPECT_EQ(run.code, cli::ExitOk) << run.err;
    ASSERT_TRUE(cutter.WaitDone());
    const std::string expected = RunVelkar({"stream", job, "--dialect", "hpgl"}).out;
    EXPECT_TRUE(cutter.received == expected) << cutter.received.size() << " of " << expected.size() << " bytes";
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "plotter", 0, CUPS_WHICHJOBS_ALL);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(jobs[0].title, "job5000.PT1");
    EXPECT_EQ(run.out, "sent 5003 records, " + std::to_string(expected.size()) + " bytes to cups:plotter (job " +
                           std::to_string(jobs[0].id) + ")\n");
    cupsFreeJobs(count, jobs);

    ASSERT_EQ(cups.Admin("cupsdisable plotter"), 0);
    run = RunVelkar({"cut", job, "--device", "cups:plotter", "--yes"});
    EXPECT_EQ(run.code, cli::ExitFileError);
    EXPECT_EQ(run.err, "serial can't open\ncups:plotter: the queue is stopped; start it with: cupsenable plotter\n");
    ASSERT_EQ(cups.Admin("cupsenable plotter"), 0);
    ASSERT_EQ(cups.Admin("cupsreject plotter"), 0);
    EXPECT_EQ(RunVelkar({"cut", job, "--queue", "plotter", "--yes"}).err,
              "serial can't open\ncups:plotter: the queue does not accept jobs; let it with: cupsaccept plotter\n");
    EXPECT_EQ(RunVelkar({"cut", job, "--queue", "nosuch", "--yes"}).err,
              "serial can't open\ncups:nosuch: the print system has no queue of that name\n");
}
