#include "MqttClient.h"

#include <mosquitto.h>
#include <sys/socket.h>

#include <mutex>

namespace nimbary {

namespace {

constexpr int kKeepAliveSeconds = 30;

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

}  // namespace

MqttClient::MqttClient(const MqttConfig& config, const std::string& clientId,
                       const std::string& willTopic, std::function<void()> wake)
    : wake_(std::move(wake)), config_(config) {
    InitLibrary();
    mosq_ = mosquitto_new(clientId.c_str(), true, this);
    if (!mosq_) return;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_max_inflight_messages_set(mosq_, kInflight);
    // The publisher makes every new attempt itself, with its own back-off.
    mosquitto_reconnect_delay_set(mosq_, 3600, 3600, false);
    static const char kOffline[] = "offline";
    mosquitto_will_set(mosq_, willTopic.c_str(), sizeof kOffline - 1, kOffline, 1, true);
    if (!config.user.empty())
        mosquitto_username_pw_set(mosq_, config.user.c_str(),
                                  config.password.empty() ? nullptr : config.password.c_str());
    mosquitto_connect_callback_set(mosq_, OnConnect);
    mosquitto_disconnect_callback_set(mosq_, OnDisconnect);
    mosquitto_publish_callback_set(mosq_, OnPublish);
    mosquitto_log_callback_set(mosq_, OnLog);
}

MqttClient::~MqttClient() {
    if (!mosq_) return;
    if (started_) {
        mosquitto_disconnect(mosq_);
        // Until the broker answered, the network thread may wait for it (in
        // the TLS handshake, or for the answer to its CONNECT) until the
        // keep-alive: the socket is shut under it, which ends the wait as a
        // lost connection. Not a cancelled thread: that may hold the
        // library's locks, or ours in a callback.
        bool heard;
        {
            std::lock_guard<std::mutex> lock(lock_);
            heard = heard_;
        }
        if (!heard) {
            const int fd = mosquitto_socket(mosq_);
            if (fd >= 0) shutdown(fd, SHUT_RDWR);
        }
        mosquitto_loop_stop(mosq_, false);
    }
    mosquitto_destroy(mosq_);
}

bool MqttClient::Start(std::string& error) {
    if (!mosq_) {
        error = ErrorText(MOSQ_ERR_NOMEM);
        return false;
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (config_.tls) {
        rc = config_.caFile.empty() ? mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                                    : mosquitto_tls_set(mosq_, config_.caFile.c_str(), nullptr,
                                                        nullptr, nullptr, nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_connect_async(mosq_, config_.host.c_str(), config_.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = ErrorText(rc);  // first: it reads errno
        const std::string library = LastLibraryError();
        if (rc == MOSQ_ERR_TLS && !library.empty()) error = library;
        return false;
    }
    rc = mosquitto_loop_start(mosq_);
    if (rc != MOSQ_ERR_SUCCESS) {
        error = ErrorText(rc);
        return false;
    }
    started_ = true;
    return true;
}

std::vector<MqttClient::Event> MqttClient::TakeEvents() {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<Event> out;
    out.swap(events_);
    acksUnseen_ = 0;
    return out;
}

int MqttClient::Publish(const std::string& topic, const std::string& payload, bool retain) {
    int mid = 0;
    const int rc = mosquitto_publish(mosq_, &mid, topic.c_str(), static_cast<int>(payload.size()),
                                     payload.data(), 1, retain);
    return rc == MOSQ_ERR_SUCCESS ? mid : -1;
}

std::string MqttClient::LastLibraryError() const {
    std::lock_guard<std::mutex> lock(lock_);
    return logError_;
}

std::string MqttClient::RefusalText(int code) {
    return mosquitto_connack_string(code);
}

std::string MqttClient::ErrorText(int code) {
    return mosquitto_strerror(code);  // with MOSQ_ERR_ERRNO, the system's text for errno
}

void MqttClient::Queue(const Event& e) {
    bool wake = true;
    {
        std::lock_guard<std::mutex> lock(lock_);
        events_.push_back(e);
        if (e.kind != Event::Acked)
            heard_ = true;
        else
            wake = ++acksUnseen_ >= kAckBatch;  // the owner also looks by itself while any are due
        if (wake) acksUnseen_ = 0;
    }
    if (wake) wake_();
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    static_cast<MqttClient*>(self)->Queue({rc == 0 ? Event::Connected : Event::Refused, rc, 0});
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    static_cast<MqttClient*>(self)->Queue({Event::Lost, rc, 0});
}

void MqttClient::OnPublish(mosquitto*, void* self, int mid) {
    static_cast<MqttClient*>(self)->Queue({Event::Acked, 0, mid});
}

void MqttClient::OnLog(mosquitto*, void* self, int level, const char* text) {
    if (!(level & MOSQ_LOG_ERR) || !text) return;
    auto* c = static_cast<MqttClient*>(self);
    bool ended;
    {
        std::lock_guard<std::mutex> lock(c->lock_);
        c->logError_ = text;
        ended = !c->heard_;
    }
    // A failed TLS handshake ends the network thread with no other word:
    // an error before the broker answered ends the attempt.
    if (ended) c->Queue({Event::Lost, MOSQ_ERR_TLS, 0});
}

}  // namespace nimbary
