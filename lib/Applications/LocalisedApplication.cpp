#include "Applications/LocalisedApplication.h"

#include <map>
#include <memory>

namespace vantorix {

namespace {

struct Row {
    const char* language;
    const char* addOnFolder;
    const char* libraryFolder;
};

// Folder names as each localised ArchiCAD ships them (UTF-8).
const Row rows[] = {
    {"AUS", "Add-Ons", "ArchiCAD Library "},
    {"AUT", "Add-Ons", "BIBLIOTHEKEN "},
    {"BRA", "Extensões", "Biblioteca ArchiCAD "},
    {"CHE", "Add-Ons", "BIBLIOTHEKEN "},
    {"CHI", "Add-Ons", "ArchiCAD 图库 "},
    {"CZE", "Doplnky ArchiCADu", "Knihovna ArchiCADu "},
    {"DEN", "Add-Ons", "ArchiCAD Library "},
    {"FIN", "ArchiCAD-laajennukset", "Kirjasto "},
    {"FRA", "Extensions", "Bibliothèque ArchiCAD "},
    {"GER", "Add-Ons", "BIBLIOTHEKEN "},
    {"GRE", "Add-Ons", "ΒΙΒΛΙΟΘΗΚΗ "},
    {"HUN", "Kiegészítök", "ArchiCAD könyvtár "},
    {"INT", "Add-Ons", "ArchiCAD Library "},
    {"ITA", "Add-Ons", "Libreria ArchiCAD "},
    {"JPN", "Add-Ons", "ArchiCAD Library "},
    {"KOR", "애드온", "ArchiCAD 라이브러리 "},
    {"NED", "Add-Ons", "ArchiCAD bibliotheek "},
    {"NOR", "Add-Ons", "Bibliotek "},
    {"NZE", "Add-Ons", "ArchiCAD Library "},
    {"POL", "Dodatki", "Biblioteka ArchiCADa "},
    {"POR", "Extensões", "Biblioteca ArchiCAD "},
    {"RUS", "Расширения ArchiCAD", "Библиотека ArchiCAD "},
    {"SPA", "Extensiones ArchiCAD", "Biblioteca ArchiCAD "},
    {"SWE", "Add-Ons", "ArchiCAD Bibliotek "},
    {"TAI", "Add-Ons", "ArchiCAD 圖庫 "},
    {"TUR", "Add-On'lar", "ArchiCAD Kütüphanesi "},
    {"USA", "Add-Ons", "ArchiCAD Library "},
    {"UKI", "Add-Ons", "ArchiCAD Library "},
};

using Table = std::map<String, std::unique_ptr<LocalisedApplication>>;

const Table& table()
{
    static const Table entries = [] {
        Table built;
        for (const Row& row : rows)
            built.emplace(String(row.language),
                          std::make_unique<LocalisedApplication>(row.language, row.addOnFolder, row.libraryFolder));
        return built;
    }();
    return entries;
}

} // namespace

LocalisedApplication::LocalisedApplication(const String& language, const String& addOnFolder,
                                           const String& libraryFolder)
    : m_language(language), m_addOnFolder(addOnFolder), m_libraryFolder(libraryFolder)
{
}

const LocalisedApplication* LocalisedApplication::find(const String& language)
{
    const Table& entries = table();
    const auto it = entries.find(language);
    return it == entries.end() ? nullptr : it->second.get();
}

} // namespace vantorix
