#pragma once

#include <QLabel>

namespace ComctlLib {

// One sunken panel of a StatusBar, with its text and a fixed width in twips.
class StatusBarPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusBarPanel(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    // setText is QLabel's.
    int Width() const;
    void setWidth(int twips);
};

} // namespace ComctlLib
