#pragma once

#include "mib/MibDatabase.h"
#include "mib/TreeModel.h"
#include "MibTestDb.h"

#include <QtTest>

#include <memory>

// A MIB database written into a temporary folder and loaded into a tree model.
struct LoadedMib
{
    QTemporaryDir dir;
    std::unique_ptr<MibDatabase> db;
    std::unique_ptr<TreeModel> model;
    int files = 0;

    // A loose node table, without the schema's constraints, takes rows such as duplicate ids.
    bool load(const QVector<MibTestDb::Node>& nodes = MibTestDb::sampleNodes(), bool loose = false)
    {
        model.reset();
        db.reset();
        db = std::make_unique<MibDatabase>();
        db->setFileName(dir.filePath(QStringLiteral("mib%1.db").arg(++files)));
        const QString looseTable = QStringLiteral("CREATE TABLE node (id, name, number, access, type, module, "
                                                  "filename, last_updated, description, parent_id)");
        if ((loose && !MibTestDb::exec(db->fileName(), {looseTable})) || !MibTestDb::create(db->fileName(), nodes) ||
            db->open(true) != MibDatabase::Usable)
            return false;
        model = std::make_unique<TreeModel>(*db);
        model->reload();
        return true;
    }
    bool load(const QString& text, bool loose = false) { return load(MibTestDb::parse(text), loose); }

    OidPtr at(const char* path) const { return model->findByPath(QLatin1String(path)); }
    QModelIndex indexAt(const char* path) const { return model->indexFromOid(at(path)); }
};
