#pragma once

#include <QDialog>
#include <memory>

class AboutAnimation;
struct AboutContent;

// The about window: product name, contact texts, background and the six-frame animation. It has
// no buttons; the user closes it with the window's close control (or Esc).
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

    AboutContent &content() const { return *mContent; }
    AboutAnimation &animation() const { return *mAnimation; }

private:
    std::unique_ptr<AboutContent> mContent;
    AboutAnimation *mAnimation = nullptr;
};

// Shows a new about window, modal and without owner, and returns when the user closed it. The
// window is destroyed afterwards, so every call starts the animation at frame 1.
void ShowAboutBox();
