#pragma once

#include <QPointer>
#include <memory>
#include <mutex>
#include <set>
#include <QString>
#include <QWidget>

#include "Messages.h"

namespace nimbary {

// Message boxes owned by a parent window. An empty caption shows
// `defaultCaption`, or the application's name when that is empty too.
class QtMessages : public Messages {
public:
    explicit QtMessages(QWidget* parent = nullptr, QString defaultCaption = QString())
        : parent_(parent), defaultCaption_(std::move(defaultCaption)) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Show(const std::string& text, MessageIcon icon, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

private:
    QString Caption(const std::string& caption) const;

    // Texts of worker-thread boxes queued or open: a failure repeated on
    // every pass while nobody is at the screen shows one box, not a pile.
    struct Pending {
        std::mutex m;
        std::set<std::string> texts;
    };

    QPointer<QWidget> parent_;
    QString defaultCaption_;
    std::shared_ptr<Pending> pending_ = std::make_shared<Pending>();
};

}  // namespace nimbary
