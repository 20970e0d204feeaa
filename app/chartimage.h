#pragma once

#include <QtQml/qqmlregistration.h>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>

// A picture of the chart, as the window grabbed it: saved as a PNG file or put on the clipboard.
class ChartImage : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Why the last save failed, in the operator's words; empty after a success.
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
    Q_PROPERTY(int width READ width CONSTANT)
    Q_PROPERTY(int height READ height CONSTANT)

public:
    // The size the chart is drawn at for a picture: wide enough for a report page.
    static constexpr int Width = 1600;
    static constexpr int Height = 900;

    explicit ChartImage(QObject* parent = nullptr);

    QString errorText() const { return m_errorText; }
    int width() const { return Width; }
    int height() const { return Height; }

    // Writes the picture as PNG to `file` (a file URL or a plain path), whole or not at all. The
    // picture as QML hands it over: an image, or nothing where none could be drawn.
    // With a caption, it stands in a strip below the plot: what makes the picture evidence.
    Q_INVOKABLE bool save(const QVariant& image, const QUrl& file, const QString& caption = {});
    Q_INVOKABLE bool copy(const QVariant& image, const QString& caption = {});
    // The picture with `caption` in a strip of its own below it; the picture as it is without one.
    static QImage captioned(const QImage& image, const QString& caption);
    // Whether the picture shows the colour (the series' curve and legend mark): the chart draws
    // its scene a few passes after a change, and a grab before that is blank.
    Q_INVOKABLE static bool shows(const QVariant& image, const QColor& color);
    // "График_2026-03-01_12-05-09.png" for the moment given (ms since the epoch).
    Q_INVOKABLE static QString suggestedName(double msecs);

signals:
    void errorTextChanged();

private:
    bool fail(const QString& text);
    QString m_errorText;
};
