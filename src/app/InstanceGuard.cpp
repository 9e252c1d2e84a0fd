#include "InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>

namespace nimbary {

InstanceGuard::InstanceGuard(const QString& dataDir) {
    // Lives in the temporary folder, not the data folder: the guard comes
    // before the data folder is prepared, and the folder may not exist yet.
    QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(dataDir).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    lock_ = std::make_unique<QLockFile>(QDir::tempPath() + "/nimbary-" + key + ".lock");
    lock_->setStaleLockTime(0);  // only a live process keeps it
    acquired_ = lock_->tryLock(0);
}

}  // namespace nimbary
