#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>
#include <QVariantList>

// Text rules of the input fields and read-outs, kept here so they can be tested without a window.
class UiFormat : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    explicit UiFormat(QObject* parent = nullptr);

    // The leading number of the text: optional blanks, sign, digits with an optional decimal
    // point (a comma counts as one) and exponent; anything after it is ignored. NaN without one.
    Q_INVOKABLE static double toNumber(const QString& text);
    // The frequency field, in kHz: every blank is removed first, so grouped text converts whole.
    // A unit may follow the number: Hz, kHz (the default), MHz or GHz, in Russian or Latin
    // letters, whole or by its first letter ("1.5 ГГц", "915 МГц", "2.4G").
    Q_INVOKABLE static double frequencyFromText(const QString& text);
    // The unit frequencyFromText() reads in the text: "Гц", "кГц", "МГц" or "ГГц".
    Q_INVOKABLE static QString frequencyUnit(const QString& text);
    // Three decimals with a blank between every group of three integer digits: 1 234 567.500.
    Q_INVOKABLE static QString groupedFixed(double value);
    // The read-out's number with `decimals` decimals; a dash where there is no value (not
    // connected, a reply without a reading, Δ without a current reading), never "NaN".
    Q_INVOKABLE static QString readout(double value, int decimals);
    // The window's keyboard shortcuts: {keys, action, text} each, in the order the About box lists
    // them; `action` names what the window does.
    Q_INVOKABLE static QVariantList shortcuts();
    // The same, one "keys — text" per line.
    Q_INVOKABLE static QString shortcutsText();
    // How much the small texts and icons (status line, chart tools) grow with the window's
    // height: 1 up to 720 px, in proportion above, at most 1.5 (a maximised 1080 px window).
    Q_INVOKABLE static double sizeScale(double windowHeight);
    // A local path as an absolute file URL (for the dialogs' preselected file); empty stays empty.
    Q_INVOKABLE static QString fileUrl(const QString& localPath);
};
