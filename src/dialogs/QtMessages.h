#pragma once

#include <QPointer>
#include <QWidget>

#include "Messages.h"

namespace nimbary {

// Message boxes owned by a parent window.
class QtMessages : public Messages {
public:
    explicit QtMessages(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Show(const std::string& text, MessageIcon icon, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace nimbary
