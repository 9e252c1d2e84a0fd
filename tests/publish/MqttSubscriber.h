#pragma once

#include <mosquitto.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Everything a broker's loopback listener hands out, as a Home Assistant or
// a logger would see it: every topic, QoS 0, retained messages included.
namespace nimbary::testing {

class MqttSubscriber {
public:
    struct Message {
        std::string topic, payload;
        bool retained;
    };

    explicit MqttSubscriber(int port) : port_(port) { Connect(); }
    ~MqttSubscriber() { Drop(); }
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    // Subscribed, waiting at most `ms`.
    bool Ready(int ms = 5000) {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ready_; });
    }
    // A new connection and subscription, keeping what arrived (after a
    // broker restart).
    bool Reconnect(int ms = 5000) {
        Drop();
        Connect();
        return Ready(ms);
    }

    std::vector<Message> Messages() const {
        std::lock_guard<std::mutex> lock(lock_);
        return messages_;
    }
    // Waits until `done(messages)` holds; false after `ms`. Looked at ten
    // times a second, not at every message: a check over thousands of
    // messages at each would keep the network thread from the socket (and
    // from its keep-alive, so that the broker drops this subscriber) on a
    // slow machine.
    template <class F>
    bool WaitFor(F done, int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(lock_);
                if (done(messages_)) return true;
            }
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    // The last payload on `topic`, or nullptr.
    static const Message* Last(const std::vector<Message>& m, const std::string& topic) {
        for (auto it = m.rbegin(); it != m.rend(); ++it)
            if (it->topic == topic) return &*it;
        return nullptr;
    }

private:
    void Connect() {
        mosquitto_lib_init();
        ready_ = false;
        mosq_ = mosquitto_new(nullptr, true, this);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void*, int rc) {
            if (rc == 0) mosquitto_subscribe(m, nullptr, "#", 0);
        });
        mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* self, int, int, const int*) {
            auto* s = static_cast<MqttSubscriber*>(self);
            std::lock_guard<std::mutex> lock(s->lock_);
            s->ready_ = true;
            s->changed_.notify_all();
        });
        mosquitto_message_callback_set(
            mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* s = static_cast<MqttSubscriber*>(self);
                std::lock_guard<std::mutex> lock(s->lock_);
                s->messages_.push_back({m->topic,
                                        std::string(static_cast<const char*>(m->payload),
                                                    static_cast<size_t>(m->payloadlen)),
                                        m->retain});
            });
        mosquitto_connect_async(mosq_, "127.0.0.1", port_, 30);
        mosquitto_loop_start(mosq_);
    }
    void Drop() {
        if (!mosq_) return;
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, true);
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }

    int port_;
    mosquitto* mosq_ = nullptr;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    bool ready_ = false;
    std::vector<Message> messages_;
};

}  // namespace nimbary::testing
