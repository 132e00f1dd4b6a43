#include "MovieFrames.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QPixmap>

namespace {

void showFrame(QLabel *label, const QMovie *movie, const QSize &logicalSize)
{
    QPixmap frame = movie->currentPixmap();
    if (frame.isNull())
        return;
    const qreal ratio = label->devicePixelRatioF();
    const QSize pixels = logicalSize * ratio;
    if (frame.size() != pixels)
        frame = frame.scaled(pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    frame.setDevicePixelRatio(ratio);
    label->setPixmap(frame);
}

} // namespace

QMovie *MovieFrames::create(const QString &path, const QSize &logicalSize, QObject *parent)
{
    QString file = path;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    const QSize frame = QImageReader(path).size();
    if (dot > 0 && frame.isValid() && frame.width() < logicalSize.width() * ratio) {
        const QString large = path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
        if (QFile::exists(large))
            file = large;
    }
    auto *movie = new QMovie(file, QByteArray(), parent);
    movie->setCacheMode(QMovie::CacheAll);
    return movie;
}

void MovieFrames::play(QLabel *label, QMovie *movie, const QSize &logicalSize)
{
    label->setMinimumSize(logicalSize);
    label->setAlignment(Qt::AlignCenter);
    QObject::connect(movie, &QMovie::frameChanged, label,
                     [label, movie, logicalSize] { showFrame(label, movie, logicalSize); });
    showFrame(label, movie, logicalSize);
}
