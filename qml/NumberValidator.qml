import QtQuick

// What a number field takes: sign, digits with a decimal point (a comma counts as one) and
// exponent, the forms UiFormat.toNumber reads.
RegularExpressionValidator {
    regularExpression: /^[-+]?\d*([.,]?\d+)?([eE][-+]?\d+)?$/
}
