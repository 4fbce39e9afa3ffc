#pragma once

#include <QDialog>
#include <QPixmap>

// The modal about box.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);
    ~frmAbout() override;

    void setEnableTimer(bool bEnableTimer); // before the box is shown
    QPixmap LogoImage() const;
    void setLogoImage(const QPixmap &imLogoImage);

    void done(int result) override;

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private Q_SLOTS:
    void Command1_Click();
    void Timer1_Timer();
    void Image1_Click();

private:
    void Form_Load();
    void Form_Unload();
    void closeWithSound();

    class Private;
    Private *d;
};
