#pragma once
#include <QProxyStyle>

// The application's style with hints shown after the pointer has rested for
// one second.
class THintStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    static constexpr int wakeUpDelay = 1000;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *ret = nullptr) const override;
    // Installs it over the current style once, and the pale yellow hint colour.
    static void install();
};
