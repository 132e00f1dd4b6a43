#include "DeviceStatusReader.h"

#include <QThreadPool>

namespace {

// Carries one answer from the pool thread: its signal is emitted there and
// reaches the reader by a queued connection, which Qt drops when the reader
// is gone by then.
class StatusJob : public QObject
{
    Q_OBJECT
signals:
    void done(const QByteArray &deviceId, const DeviceStatus &status);
};

} // namespace

DeviceStatusReader::DeviceStatusReader(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<DeviceStatus>();
}

void DeviceStatusReader::request(const QByteArray &deviceId)
{
    auto *job = new StatusJob;
    connect(job, &StatusJob::done, this, &DeviceStatusReader::statusRead, Qt::QueuedConnection);
    QThreadPool::globalInstance()->start([job, deviceId] {
        emit job->done(deviceId, DeviceStatus::read(deviceId));
        job->deleteLater();
    });
}

#include "DeviceStatusReader.moc"
