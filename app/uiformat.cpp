#include "uiformat.h"

#include <QFileInfo>

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <cmath>
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

namespace {
struct FreqUnit {
    const char16_t* name;
    double kHz;
};

// The unit after the number; kHz when there is none or it is none of these.
const FreqUnit& frequencyUnitOf(const QString& text) {
    static const FreqUnit units[] = {{u"кГц", 1.0}, {u"Гц", 1e-3}, {u"МГц", 1e3}, {u"ГГц", 1e6}};
    static const QRegularExpression number(
        QStringLiteral(R"(^[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)"));
    QString t = text;
    t.remove(QRegularExpression(QStringLiteral(R"(\s)")))
        .replace(QLatin1Char(','), QLatin1Char('.'));
    const QString rest = t.mid(number.match(t).capturedLength()).toLower();
    const auto is = [&rest](int i, const char16_t* letters) {
        return i < rest.size() && QStringView(letters).contains(rest.at(i));
    };
    if (is(0, u"kк"))
        return units[0];
    if (is(0, u"mм"))
        return units[2];
    if (is(0, u"gг"))
        return is(1, u"zц") ? units[1] : units[3];  // "Гц" is Hz; "ГГц", "G", "GHz" are GHz
    if (is(0, u"h"))
        return units[1];
    return units[0];
}
}  // namespace

double UiFormat::frequencyFromText(const QString& text) {
    QString t = text;
    t.remove(QRegularExpression(QStringLiteral(R"(\s)")));
    return toNumber(t) * frequencyUnitOf(text).kHz;
}

QString UiFormat::frequencyUnit(const QString& text) {
    return QString::fromUtf16(frequencyUnitOf(text).name);
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

namespace {
struct Shortcut {
    const char* keys;
    const char* action;
    const char16_t* text;
};
constexpr Shortcut kShortcuts[] = {
    {"Ctrl+O", "openRecording", u"открыть запись на графике"},
    {"Ctrl+S", "chooseRecordFile", u"выбрать файл для записи"},
    {"Ctrl+R", "toggleRecording", u"начать или остановить запись"},
    {"Space", "togglePause", u"пауза графика"},
    {"F11", "toggleChart", u"график во всё окно"},
    {"Home", "resetView", u"график снова за показаниями"},
    {"Ctrl+Shift+S", "saveImage", u"сохранить график в PNG"},
    {"Ctrl+Shift+C", "copyImage", u"копировать график"},
    {"Ctrl+D", "toggleRelative", u"относительный отсчёт"},
    {"Ctrl+E", "resetStatistics", u"начать статистику заново"},
    {"Ctrl+K", "toggleConnection", u"подключить или отключить устройство"},
};
}  // namespace

QVariantList UiFormat::shortcuts() {
    QVariantList out;
    for (const Shortcut& s : kShortcuts)
        out << QVariantMap{{QStringLiteral("keys"), QString::fromLatin1(s.keys)},
                           {QStringLiteral("action"), QString::fromLatin1(s.action)},
                           {QStringLiteral("text"), QString::fromUtf16(s.text)}};
    return out;
}

QString UiFormat::shortcutsText() {
    QStringList lines;
    for (const Shortcut& s : kShortcuts)
        lines << QString::fromLatin1(s.keys).replace(QStringLiteral("Space"),
                                                     QStringLiteral("Пробел")) +
                     QStringLiteral(" — ") + QString::fromUtf16(s.text);
    return lines.join(QLatin1Char('\n'));
}

double UiFormat::sizeScale(double windowHeight) {
    return std::isfinite(windowHeight) ? std::clamp(windowHeight / 720.0, 1.0, 1.5) : 1.0;
}

QString UiFormat::readout(double value, int decimals) {
    if (!std::isfinite(value))
        return QStringLiteral("—");
    return QString::number(value, 'f', std::clamp(decimals, 0, 20));
}
