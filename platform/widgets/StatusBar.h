#pragma once

#include <QList>
#include <QWidget>

namespace Tavrin {

class StatusBarPanel;

// A status bar of numbered panels (1..n) that keeps itself along the bottom edge of its parent,
// over the parent's full width, at its own height (300 twips unless set). Panels stand side by
// side at their own widths; those past the right edge are cut off.
class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);

    // Appends panel number PanelCount() + 1.
    StatusBarPanel &addPanel(const QString &text = {}, int widthTwips = 1440);
    int PanelCount() const { return static_cast<int>(mPanels.size()); }
    // Panel n, 1-based; PlatformError "Subscript out of range" when there is none.
    StatusBarPanel &Panels(int n) const;

    int Height() const;
    void setHeight(int twips);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void alignToParent();
    void placePanels();

    QList<StatusBarPanel *> mPanels;
    int mHeight = 300;
};

} // namespace Tavrin
