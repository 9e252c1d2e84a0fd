#pragma once

#include <QIcon>

namespace nimbary {

// The program's icon: a sun behind a cloud, drawn once.
QIcon AppIcon();

}  // namespace nimbary
