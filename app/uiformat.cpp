#include "uiformat.h"

#include <QFileInfo>

#include <QRegularExpression>
#include <QUrl>
#include <limits>

UiFormat::UiFormat(QObject* parent) : QObject(parent) {}

double UiFormat::toNumber(const QString& text) {
    static const QRegularExpression leading(
        QStringLiteral(R"(^\s*([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?))"));
    QString t = text;
    const int comma = int(t.indexOf(QLatin1Char(',')));
    if (comma >= 0)
        t[comma] = QLatin1Char('.');
    const QRegularExpressionMatch m = leading.match(t);
    if (!m.hasMatch())
        return std::numeric_limits<double>::quiet_NaN();
    // The pattern admits only well-formed numbers; an exponent out of range gives +-inf or 0.
    return m.captured(1).toDouble();
}

double UiFormat::frequencyFromText(const QString& text) {
    QString t = text;
    t.remove(QRegularExpression(QStringLiteral(R"(\s)")));
    return toNumber(t);
}

QString UiFormat::groupedFixed(double value) {
    static const QRegularExpression groups(QStringLiteral(R"(\B(?=(\d{3})+(?!\d)))"));
    QString t = QString::number(value, 'f', 3);
    return t.replace(groups, QStringLiteral(" "));
}

QString UiFormat::fileUrl(const QString& localPath) {
    if (localPath.isEmpty())
        return {};
    // A relative name (the proposed one) lies in the working directory, where it is written.
    return QUrl::fromLocalFile(QFileInfo(localPath).absoluteFilePath())
        .toString(QUrl::FullyEncoded);
}
