// lists.cpp - the have list, the missing list, the duplicates report and the have database
#include "reports/reports.h"

#include "catalogue/catalogue.h"
#include "catalogue/dat.h"
#include "groupinfo/groupinfo.h"
#include "run/options.h"
#include "run/outputfile.h"

#include <string>
#include <vector>

// True when entry i is absent but its group is not to be listed as missing.
static bool Excluded(int i)
{
    int g = FindGroup(i);
    return g >= 0 && GroupTable[g].listMissing == 0;
}

// True when entry i goes into the missing list.
static bool Listed(int i)
{
    return CopyCounts[i] == 0 && !Excluded(i);
}

void WriteMissList()
{
    int missing = 0;
    int excluded = 0;
    for (int i = 0; i < CatalogueSize(); i++) {
        if (CopyCounts[i] != 0)
            continue;
        if (Excluded(i))
            excluded++;
        else
            missing++;
    }
    std::string suffix;
    if (excluded != 0)
        suffix = " (" + std::to_string(excluded) + " excluded)";

    ReplacementFile file;
    if (!OpenReplacementFile(MissListName, "w", &file))
        return;
    char summary[256];
    snprintf(summary, sizeof summary, "You are missing %d of %d known %s %s%s\n\n", missing,
             CatalogueSize() - excluded, SystemFullName, "ROMS", suffix.c_str());
    fputs(summary, stdout);
    fprintf(file.stream, " %s", summary);
    for (int i = 0; i < CatalogueSize(); i++)
        if (Listed(i))
            fprintf(file.stream, "%s\n", EntryName(i));
    CommitReplacementFile(&file);
    // With a DAT, the same entries as a DAT that other collection tools read.
    ReplacementFile fix;
    if (!DatPath.empty() && OpenReplacementFile(FixListName, "w", &fix)) {
        WriteFixDat(fix.stream, Listed);
        CommitReplacementFile(&fix);
    }
}

void WriteHaveList()
{
    int had = 0;
    for (int i = 0; i < CatalogueSize(); i++)
        if (CopyCounts[i] != 0)
            had++;
    if (had == 0)
        return;

    ReplacementFile list;
    if (!OpenReplacementFile(HaveListName, "w", &list))
        return;
    ReplacementFile db;
    bool dbOpen = !OptNoDb && OpenReplacementFile(HaveDatabaseName, "wb", &db);

    char summary[256];
    snprintf(summary, sizeof summary, "You have %d of %d known %s %s\n\n", had, CatalogueSize(),
             SystemFullName, "ROMS");
    fputs(summary, stdout);
    fprintf(list.stream, " %s", summary);
    if (OptNoDb)
        printf("NODB specified, %s NOT updated\n", HaveDatabaseName);

    bool dupesHeading = false;
    AppendFile dupes(DupesListName);
    for (int i = 0; i < CatalogueSize(); i++) {
        if (CopyCounts[i] == 0)
            continue;
        fprintf(list.stream, "%s\n", EntryName(i));
        if (CopyCounts[i] >= 2) {
            if (!dupesHeading) {
                printf("Multiple copies of the following were found:\n");
                OpenAppendFile(&dupes);
                dupesHeading = true;
            }
            std::string line = std::string(EntryName(i)) + " [" + std::to_string(CopyCounts[i]) + " copies]\n";
            fputs(line.c_str(), stdout);
            WriteAppendFile(&dupes, line.c_str());
        }
    }
    if (dbOpen)
        WriteHaveDatabase(db.stream);
    // The database never gets ahead of the have list it goes with.
    if (CommitReplacementFile(&list)) {
        if (dbOpen)
            CommitReplacementFile(&db);
    } else if (dbOpen) {
        AbandonReplacementFile(&db);
    }
    CloseAppendFile(&dupes);
}
