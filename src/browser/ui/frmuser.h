#pragma once

#include "browser/ui/recordbrowser.h"

#include <QVariant>

class QCheckBox;

namespace quarl {

// User Master: the users of the company database with their rights strings. A user
// administrator (menu rights " SU") keeps every user; anyone else sees only the own row
// and may change only the own password.
class frmUser : public RecordBrowser
{
    Q_OBJECT
public:
    explicit frmUser(QWidget *parent = nullptr);

    // Transient write failures are retried silently this often on closing before asking.
    static constexpr int SilentCloseAttempts = 3;

    void addRecord() override;
    void cancelRecord() override;

protected:
    RecordSource recordSource() const override;
    void applyButtonRights() override;
    bool fieldEditable(int index) const override;
    bool handleKey(QKeyEvent *event) override;
    bool isCommandKey(const QKeyEvent *event) const override;
    void reportUpdateFailure(const Failure &failure) override;
    Status writePending() override;
    bool unload() override;
    void SwitchMode(Mode mode) override;
    void currentRowShown() override;
    QList<QWidget *> tabOrder() const override;

private:
    // The super-user mark of a rights string, shown as a check box beside its codes.
    struct RightsField
    {
        int index = -1;
        QString column;
        QCheckBox *superUser = nullptr;
        QString shownCodes;
        bool shownSuperUser = false;
        QVariant stored;
    };

    bool administers() const;
    bool nothingTyped() const;

    RightsField m_rights[2];
};

} // namespace quarl
