#include "InstanceGuard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace nimbary {

namespace {

const QByteArray kRaise = "raise\n";
const QByteArray kRaised = "raised\n";

}  // namespace

QString InstanceGuard::PrivateRuntimeFolder() {
    const QByteArray dir = qgetenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (!dir.startsWith('/') || ::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
        return {};
    return QDir::cleanPath(QString::fromLocal8Bit(dir));
}

InstanceGuard::InstanceGuard(const QString& dataDir) {
    const QString folder = QDir::cleanPath(QDir::current().absoluteFilePath(dataDir));
    const QString runtime = PrivateRuntimeFolder();
    QString path;
    if (!runtime.isEmpty()) {
        const QByteArray key = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1)
                                   .toHex()
                                   .left(16);
        path = runtime + "/nimbary-" + key + ".lock";
        socketPath_ = runtime + "/nimbary-" + key + ".socket";
    } else {
        // The guard comes before the data folder is prepared.
        QDir().mkpath(folder);
        path = folder + "/.nimbary-instance.lock";
    }
    lock_ = std::make_unique<FileLock>(path.toStdString(), FileLock::Kind::OwnFile);
    if (lock_->TryLock())
        state_ = State::Acquired;
    else
        state_ = lock_->Busy() ? State::Running : State::Failed;
}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::Problem() const {
    return LockPath() + ": " + QString::fromStdString(lock_->Problem());
}

bool InstanceGuard::Listen(std::function<void()> raise) {
    if (!Acquired() || socketPath_.isEmpty()) return false;
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Whatever socket is there was left by a copy that has ended: we hold the guard.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_)) {
        server_.reset();
        return false;
    }
    QLocalServer* server = server_.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, raise] {
        while (QLocalSocket* s = server->nextPendingConnection()) {
            QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QLocalSocket::readyRead, s, [s, raise] {
                if (!s->canReadLine() && s->bytesAvailable() <= kRaise.size()) return;
                if (s->readLine() == kRaise) {
                    raise();
                    s->write(kRaised);
                    s->flush();
                }
                s->disconnectFromServer();
            });
        }
    });
    return true;
}

bool InstanceGuard::AskToRaise(int timeoutMs) const {
    if (state_ != State::Running || socketPath_.isEmpty()) return false;
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(timeoutMs)) return false;
    return socket.readLine() == kRaised;
}

}  // namespace nimbary
