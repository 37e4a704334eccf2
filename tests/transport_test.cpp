#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cups/cups.h>

#include "cli/cli.h"
#include "cutter/cuttersend.h"
#include "serial/cupsqueue.h"
#include "serial/socketport.h"
#include "clirun.h"
#include "testsupport.h"

using namespace velkar;
using velkar::test::Rec;
using velkar::test::RunVelkar;

namespace {

// A cutter on 127.0.0.1: reads everything until the sender closes, or takes
// the connection and never reads, or closes it at once.
class Listener {
public:
    enum class Mode { Read, Hold, Close };

    explicit Listener(Mode mode) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

// Stops a block not yet begun; drops one that is, noting that it was asked.
class Abandoning : public OutputWait {
public:
    Verdict Idle(bool, bool begun) override { return begun ? (asked = true, Verdict::Drop) : Verdict::Stop; }
    bool asked = false;
};

}  // namespace

TEST(SocketPort, CutterReceivesExactlyTheStreamInEitherDialect) {
    test::ProfileOverride profile;
    test::ScratchDir dir;
    const std::string job = test::WriteZigzagJob(dir, 20000);
    for (const char* dialect : {"velkar", "hpgl"}) {
        Listener cutter(Listener::Mode::Read);
        const test::CliRun run = RunVelkar({"cut", job, "--device", cutter.Uri(), "--dialect", dialect, "--yes"});
        EXPECT_EQ(run.code, cli::ExitOk) << run.err;
        ASSERT_TRUE(cutter.WaitDone());
        const std::string expected = RunVelkar({"stream", job, "--dialect", dialect}).out;
        EXPECT_GT(expected.size(), 100000u);
        EXPECT_TRUE(cutter.received == expected) << dialect << ": " << cutter.received.size() << " of "
                                                 << expected.size() << " bytes";
        EXPECT_EQ(run.out, "sent 20003 records, " + std::to_string(expected.size()) + " bytes to " + cutter.Uri() + "\n");
    }
}

// The port's stored device and language, and the knives' stored speed and force.
TEST(SocketPort, StoredDeviceDialectAndKnifeSettingsReachTheCutter) {
    test::ProfileOverride profile;
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
    // A block not begun is not started once the wait says Stop.
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
        {"socket://host:65536", "", 0, "socket://host:65536: the port must be a number from 1 to 65535"},
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
    test::ProfileOverride profile;
    test::ScratchDir dir;
    const test::CliRun run = RunVelkar({"cut", test::WriteZigzagJob(dir, 1), "--device", "socket://127.0.0.1:1", "--yes"});
    EXPECT_EQ(run.code, cli::ExitFileError);
    EXPECT_EQ(run.err, "serial can't open\nsocket://127.0.0.1:1: Connection refused\n");
}

namespace {

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool Accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
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
        m_nPort = FreePort();
        std::string dirs;
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
        for (int i = 0; i < 200 && !Accepts(m_nPort); ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (m_pid > 0 && Accepts(m_nPort)) {
            server = "127.0.0.1:" + std::to_string(m_nPort);
            setenv("CUPS_SERVER", server.c_str(), 1);
            cupsSetServer(server.c_str());
        } else {
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
    test::ProfileOverride profile;
    test::ScratchDir dir;
    const std::string job = test::WriteZigzagJob(dir, 5000);
    Listener cutter(Listener::Mode::Read);
    ASSERT_EQ(cups.Admin("lpadmin -p plotter -E -v " + cutter.Uri()), 0);
    EXPECT_TRUE(CCupsQueue::ListQueues().contains(QStringLiteral("cups:plotter")));

    test::CliRun run = RunVelkar({"cut", job, "--queue", "plotter", "--dialect", "hpgl", "--yes"});
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
