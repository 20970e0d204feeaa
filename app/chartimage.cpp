#include "chartimage.h"

#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cstdlib>

ChartImage::ChartImage(QObject* parent) : QObject(parent) {}

bool ChartImage::fail(const QString& text) {
    m_errorText = text;
    emit errorTextChanged();
    return false;
}

QImage ChartImage::captioned(const QImage& image, const QString& caption) {
    if (image.isNull() || caption.isEmpty())
        return image;
    QFont font;
    font.setPixelSize(std::max(12, image.height() / 40));
    const QFontMetrics metrics(font);
    const int margin = font.pixelSize() / 2;
    const QRect text = metrics.boundingRect(QRect(0, 0, image.width() - 2 * margin, 10000),
                                            Qt::TextWordWrap, caption);
    QImage out(image.width(), image.height() + text.height() + 2 * margin,
               QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(
        QRect(margin, image.height() + margin, image.width() - 2 * margin, text.height()),
        Qt::TextWordWrap, caption);
    return out;
}

bool ChartImage::save(const QVariant& picture, const QUrl& file, const QString& caption) {
    const QImage image = captioned(picture.value<QImage>(), caption);
    // A name typed into a dialog may come as a plain path ("/home/x.png", "C:/x.png").
    const QString path = file.isLocalFile() ? file.toLocalFile() : file.toString();
    if (image.isNull())
        return fail(QStringLiteral("Изображение графика не сохранено: график не нарисован."));
    if (path.isEmpty())
        return fail(QStringLiteral("Изображение графика не сохранено: не выбран файл."));
    // Written beside the target and renamed over it: a failed write leaves no half picture.
    QSaveFile out(path);
    QImageWriter writer(&out, "png");
    if (!out.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Изображение графика не сохранено в %1: %2")
                        .arg(QFileInfo(path).absoluteFilePath(), out.errorString()));
    if (!writer.write(image) || !out.commit())
        return fail(QStringLiteral("Изображение графика не сохранено в %1: %2")
                        .arg(QFileInfo(path).absoluteFilePath(),
                             writer.error() != QImageWriter::UnknownError ? writer.errorString()
                                                                          : out.errorString()));
    if (!m_errorText.isEmpty()) {
        m_errorText.clear();
        emit errorTextChanged();
    }
    return true;
}

bool ChartImage::copy(const QVariant& picture, const QString& caption) {
    const QImage image = captioned(picture.value<QImage>(), caption);
    if (image.isNull() || !QGuiApplication::clipboard())
        return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

bool ChartImage::shows(const QVariant& picture, const QColor& color) {
    const QImage image = picture.value<QImage>().convertToFormat(QImage::Format_RGB32);
    const QRgb want = color.rgb();
    const auto near = [want](QRgb c) {
        return std::abs(qRed(c) - qRed(want)) + std::abs(qGreen(c) - qGreen(want)) +
                   std::abs(qBlue(c) - qBlue(want)) <=
               12;
    };
    // A legend mark alone is some dozens of pixels.
    int found = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (near(line[x]) && ++found >= 20)
                return true;
    }
    return false;
}

QString ChartImage::suggestedName(double msecs) {
    return QStringLiteral("График_") +
           QDateTime::fromMSecsSinceEpoch(qint64(msecs))
               .toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
           QStringLiteral(".png");
}
