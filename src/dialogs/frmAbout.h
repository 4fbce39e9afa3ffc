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

private:
    class Private;
    Private *d;
};
