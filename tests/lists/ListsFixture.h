// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The demo catalogue's side tables opened the way the main window opens them, with their data
// sources, for the list editors' tests; and reading a table back from its file.

#include "DataSource.h"
#include "Desktop.h"
#include "catalogue.h"
#include "demo.h"
#include "testsupport.h"

#include <QIcon>
#include <QImage>
#include <QString>

#include <string>
#include <vector>

namespace welarik::test {

inline QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// True when the icon's 32 x 32 picture has a pixel that is not transparent.
inline bool drawn(const QIcon &icon)
{
    const QImage image = icon.pixmap(32, 32).toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

struct SideTables
{
    explicit SideTables(FileSystem &fs = FileSystem::real(), std::string folder = {})
        : fs(fs)
        , dir(folder.empty() ? temp.path().string() : std::move(folder))
        , catalogue(fs)
    {
        TableDemoWriter writer;
        createDemoCatalogue(fs, dir, {}, writer);
        data = dir + "/BAZY/";
        catalogue.bindConfig(data);
        catalogue.bindSideTables(data);
        catalogue.dbfConfig.open();
        catalogue.dbfGatunekF.open();
        catalogue.dbfZnajomi.open();
    }

    // Every live record's field, in record order, read from the file after closing the table.
    std::vector<std::string> readBack(Table &table, const std::string &field)
    {
        const std::string path = table.fileName();
        table.close();
        Table check("check", fs);
        check.setFileName(path);
        check.open();
        std::vector<std::string> values;
        const bool number = check.fieldByName(field).type == 'N';
        for (check.first(); !check.eof(); check.next()) {
            const QString text = qs(check.asString(field));
            values.push_back((number ? text.trimmed() : text).toStdString());
        }
        return values;
    }

    FileSystem &fs;
    TempDir temp;
    std::string dir;
    std::string data;
    Catalogue catalogue;
    Table &config = catalogue.dbfConfig;
    Table &genres = catalogue.dbfGatunekF;
    Table &friends = catalogue.dbfZnajomi;
    DataSource dsGatunekF{&catalogue.dbfGatunekF};
    DataSource dsZnajomi{&catalogue.dbfZnajomi};
    ScopedScriptedDesktop desktop;
};

} // namespace welarik::test
