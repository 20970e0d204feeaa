#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

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
    // The frequency field: every blank is removed first, so grouped text converts whole.
    Q_INVOKABLE static double frequencyFromText(const QString& text);
    // Three decimals with a blank between every group of three integer digits: 1 234 567.500.
    Q_INVOKABLE static QString groupedFixed(double value);
    // A local path as an absolute file URL (for the dialogs' preselected file); empty stays empty.
    Q_INVOKABLE static QString fileUrl(const QString& localPath);
};
