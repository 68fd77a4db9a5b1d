#include "core/prompter.h"

namespace quarl {

namespace {

class SilentPrompter : public Prompter
{
public:
    void message(const QString &, Icon, const QString &) override {}
    bool askYesNo(const QString &, Icon, const QString &) override { return false; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return std::nullopt; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString folderName(const QString &, const QString &) override { return {}; }
    void beep() override {}
};

Prompter *&installed()
{
    static Prompter *p = nullptr;
    return p;
}

} // namespace

Prompter &Prompter::current()
{
    static SilentPrompter silent;
    return installed() ? *installed() : silent;
}

void Prompter::install(Prompter *prompter)
{
    installed() = prompter;
}

} // namespace quarl
