#pragma once

#include <QLabel>

namespace ComctlLib {

// One sunken panel of a StatusBar, at the width set in twips. A text too long for it ends in
// an ellipsis; Text() still gives all of it.
class StatusBarPanel : public QLabel {
    Q_OBJECT
public:
    explicit StatusBarPanel(QWidget *parent = nullptr);

    QString Text() const { return text(); }
    // setText is QLabel's.
    int Width() const;
    void setWidth(int twips);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace ComctlLib
