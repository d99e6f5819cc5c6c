#include "dialog/FieldText.h"

#include "model/TextEncoding.h"

#include <QMessageBox>

namespace tesser::dialog {

QString FromRecord(std::string_view bytes) {
    return QString::fromStdString(model::Windows1252ToUtf8(bytes));
}

std::optional<std::string> TryToRecord(const QString& text) {
    try {
        return model::Utf8ToWindows1252(text.toStdString());
    } catch (const model::TextEncodingError&) {
        return std::nullopt;
    }
}

std::optional<std::string> ToRecord(const QString& text, const QString& field, QWidget* parent) {
    try {
        return model::Utf8ToWindows1252(text.toStdString());
    } catch (const model::TextEncodingError& e) {
        ShowPageMessage(parent,
                        QStringLiteral("%1 and cannot be stored in the field \u201C%2\u201D.")
                            .arg(QString::fromUtf8(e.what()), field));
        return std::nullopt;
    }
}

void ShowPageMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tesser Pro"), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(QString::fromLatin1(kPageMessageName));
    box.exec();
}

QString ToRecordLineBreaks(const QString& text) {
    QString lines = ToDisplayLineBreaks(text);
    lines.replace(QChar::LineSeparator, QLatin1Char('\n'));
    lines.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return lines;
}

QString ToDisplayLineBreaks(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

} // namespace tesser::dialog
