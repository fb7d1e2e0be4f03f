#pragma once
#include <QDialog>

class QTextBrowser;

// The in-program help viewer: the compiled-in manual vantorhp.html, opened at
// a topic (topic n is the anchor "topic<n>").
class THelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget *parent = nullptr);
    static constexpr const char *manual = "qrc:/help/vantorhp.html";
    void showTopic(int topic);
    QTextBrowser *txtHelp;
};
