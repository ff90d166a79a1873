#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallRussianQtTranslation()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    translator->setObjectName(QStringLiteral("QtRussianTranslator"));
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
