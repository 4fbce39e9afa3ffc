#pragma once

#include <QDialog>

#include <functional>

// The modal "Edit CPU" dialog: name, client directory and the two switches of one CPU.
class frmCPUInfo : public QDialog
{
    Q_OBJECT
public:
    explicit frmCPUInfo(QWidget *parent = nullptr);
    ~frmCPUInfo() override;

    QString CPUName() const;
    void setCPUName(const QString &sCPUName);
    QString CPUPath() const;
    void setCPUPath(const QString &sCPUPath);
    bool AllowUpdates() const;
    void setAllowUpdates(bool bAllowUpdates);
    bool PutOnDisplay() const;
    void setPutOnDisplay(bool bPutOnDisplay);

    // Close asks this about the typed name; a non-empty answer is shown and the dialog stays open.
    using NameCheck = std::function<QString(const QString &)>;
    void setNameCheck(NameCheck check);

    // Fills the form from the properties and shows it modally; returns when it is hidden.
    void showModal();

    // Tests: showModal() runs this on the filled form instead of waiting for a user.
    using Script = std::function<void(frmCPUInfo &)>;
    static void setScript(Script script);

private:
    class Private;
    Private *d;
};
