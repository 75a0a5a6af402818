#pragma once
// WidgetText: the few conversions every view of the shell makes: the session's UTF-8 texts as
// Qt's, a colour faded for secondary text, and a control's help given to screen readers too.
// Inline; GUI thread for the widget ones.

#include <QColor>
#include <QString>
#include <QWidget>
#include <string>

namespace orvel::WidgetText {

inline QString words(const std::string& text) {
    return QString::fromStdString(text);
}

inline QColor faded(QColor color, qreal alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

// The tool tip, and the name a screen reader (or a test) finds the control by.
inline void setHelp(QWidget* widget, const QString& help) {
    widget->setToolTip(help);
    widget->setAccessibleName(help);
}

}  // namespace orvel::WidgetText
