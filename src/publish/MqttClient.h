#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "MqttConfig.h"

struct mosquitto;

namespace nimbary {

// One connection to the broker: a libmosquitto instance with its own network
// thread, from the first attempt until it ends (refused, lost, or let go).
// A new attempt is a new object, so nothing the library kept of an earlier
// connection is sent again behind the publisher's back. The callbacks only
// queue events and call `wake`; everything else runs on the owner's thread.
class MqttClient {
public:
    struct Event {
        enum Kind { Connected, Refused, Lost, Acked } kind;
        int code = 0;  // Refused: the CONNACK code; Lost: libmosquitto's error
        int mid = 0;   // Acked: the message id
    };

    // `willTopic` gets "offline", retained, should the connection drop unasked.
    MqttClient(const MqttConfig& config, const std::string& clientId, const std::string& willTopic,
               std::function<void()> wake);
    // Lets the connection go and ends the network thread.
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts connecting; false with the reason when it failed at once.
    bool Start(std::string& error);
    std::vector<Event> TakeEvents();
    // The message id, or -1 when the library does not take the message.
    int Publish(const std::string& topic, const std::string& payload, bool retain);
    // The library's last error line (a TLS failure says why there), or empty.
    std::string LastLibraryError() const;

    // Texts for a refusal and a lost connection.
    static std::string RefusalText(int code);
    static std::string ErrorText(int code);
    // How many messages go out before the broker's answers.
    static constexpr int kInflight = 100;
    // Acknowledgements wake the owner in batches of this many; it looks for
    // the rest itself (LookAgain) while any are due.
    static constexpr int kAckBatch = 64;
    static constexpr std::chrono::milliseconds kLookAgain{10};

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnLog(mosquitto*, void* self, int level, const char* text);
    void Queue(const Event& e);

    mosquitto* mosq_ = nullptr;
    std::function<void()> wake_;
    MqttConfig config_;
    bool started_ = false;
    mutable std::mutex lock_;
    std::vector<Event> events_;
    bool heard_ = false;  // the broker answered the connect, one way or the other
    int acksUnseen_ = 0;
    std::string logError_;
};

}  // namespace nimbary
