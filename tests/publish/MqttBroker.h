#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "TempDir.h"

// Debian's mosquitto, started by the test itself on free loopback ports with
// a configuration, certificates and a password file made for it: a plain
// listener for anyone, a plain one that wants user "alice" with password
// "secret", and a TLS one whose certificate a CA of the test signed.
namespace nimbary::testing {

class MqttBroker {
public:
    enum Listener { Plain, Password, Tls };

    MqttBroker() = default;
    ~MqttBroker() { Kill(); }
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;

    // False with the reason when mosquitto, its password tool or openssl is
    // missing or the broker does not come up.
    bool Start(std::string& why) {
        for (const char* tool : {kMosquitto, kPasswd, kOpenssl})
            if (access(tool, X_OK) != 0) {
                why = std::string(tool) + " is not installed";
                return false;
            }
        if (!MakeFiles(why)) return false;
        for (int attempt = 0; attempt < 3; ++attempt) {
            for (int& p : ports_) p = FreePort();
            WriteConfig();
            if (Launch(why)) return true;
        }
        return false;
    }

    // SIGKILL: the broker ends at once, keeping nothing it had in memory.
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // The same broker again, on the same ports.
    bool Restart(std::string& why) {
        Kill();
        return Launch(why);
    }

    int Port(Listener l) const { return ports_[l]; }
    std::string Url(Listener l) const {
        return std::string(l == Tls ? "mqtts" : "mqtt") + "://127.0.0.1:" + std::to_string(Port(l));
    }
    // The CA that signed the broker's certificate, and one that did not.
    std::string CaFile() const { return dir_.File("ca.crt"); }
    std::string OtherCaFile() const { return dir_.File("other.crt"); }
    // Files holding the right and a wrong password of "alice".
    std::string PasswordFile() const { return dir_.File("right.pw"); }
    std::string WrongPasswordFile() const { return dir_.File("wrong.pw"); }
    std::string Log() const {
        std::ifstream in(dir_.File("broker.log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const TempDir& Dir() const { return dir_; }

    // A loopback port nothing listens on at this moment.
    static int FreePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = 0;
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(s);
        return port;
    }
    static bool Accepts(int port) {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }

private:
    static constexpr const char* kMosquitto = "/usr/sbin/mosquitto";
    static constexpr const char* kPasswd = "/usr/bin/mosquitto_passwd";
    static constexpr const char* kOpenssl = "/usr/bin/openssl";

    bool Run(const std::string& command, std::string& why) {
        const std::string line = command + " >>'" + dir_.File("tools.log") + "' 2>&1";
        if (std::system(line.c_str()) == 0) return true;
        why = "failed: " + command;
        return false;
    }

    bool MakeFiles(std::string& why) {
        const std::string d = "'" + dir_.Path() + "/";
        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        std::ofstream(dir_.File("server.ext")) << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
        std::ofstream(dir_.File("right.pw")) << "secret\n";
        std::ofstream(dir_.File("wrong.pw")) << "guess\n";
        return Run(std::string(kOpenssl) + " req -x509" + ec + " -keyout " + d + "ca.key' -out " +
                       d + "ca.crt' -subj /CN=NimbaryTestCA -days 2",
                   why) &&
               Run(std::string(kOpenssl) + " req -x509" + ec + " -keyout " + d +
                       "other.key' -out " + d + "other.crt' -subj /CN=OtherCA -days 2",
                   why) &&
               Run(std::string(kOpenssl) + " req" + ec + " -keyout " + d + "server.key' -out " + d +
                       "server.csr' -subj /CN=127.0.0.1",
                   why) &&
               Run(std::string(kOpenssl) + " x509 -req -in " + d + "server.csr' -CA " + d +
                       "ca.crt' -CAkey " + d + "ca.key' -CAcreateserial -out " + d +
                       "server.crt' -days 2 -extfile " + d + "server.ext'",
                   why) &&
               Run(std::string(kPasswd) + " -b -c " + d + "passwd' alice secret", why);
    }

    void WriteConfig() {
        const passwd* me = getpwuid(geteuid());
        std::ofstream c(dir_.File("mosquitto.conf"));
        c << "per_listener_settings true\n"
          << "user " << (me ? me->pw_name : "root") << "\n"
          << "persistence false\n"
          << "max_queued_messages 0\nmax_inflight_messages 0\n"
          << "listener " << ports_[Plain] << " 127.0.0.1\nallow_anonymous true\n"
          << "listener " << ports_[Password] << " 127.0.0.1\nallow_anonymous false\n"
          << "password_file " << dir_.File("passwd") << "\n"
          << "listener " << ports_[Tls] << " 127.0.0.1\nallow_anonymous true\n"
          << "cafile " << CaFile() << "\ncertfile " << dir_.File("server.crt") << "\n"
          << "keyfile " << dir_.File("server.key") << "\n";
    }

    bool Launch(std::string& why) {
        const std::string conf = dir_.File("mosquitto.conf");
        const std::string log = dir_.File("broker.log");
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(fd, 1);
            dup2(fd, 2);
            execl(kMosquitto, kMosquitto, "-c", conf.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                why = "mosquitto ended at start: " + Log();
                return false;
            }
            if (Accepts(ports_[Plain]) && Accepts(ports_[Password]) && Accepts(ports_[Tls]))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Kill();
        why = "mosquitto does not listen: " + Log();
        return false;
    }

    TempDir dir_;
    int ports_[3] = {0, 0, 0};
    pid_t pid_ = -1;
};

}  // namespace nimbary::testing
