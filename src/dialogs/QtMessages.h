#pragma once

#include <QPointer>
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

    QPointer<QWidget> parent_;
    QString defaultCaption_;
};

}  // namespace nimbary
