// audit.cpp - checks the catalogue's names and lists those no group of QuorInfo.cfg takes in
#include "groupinfo/groupinfo.h"

#include "catalogue/catalogue.h"
#include "run/options.h"

#include <cstring>

// The bracket check of one name, printing the bracketed parts as asked.
static void CheckBrackets(const char* name)
{
    int parens = 0;
    int brackets = 0;
    for (const char* p = name; *p != '\0'; p++) {
        char c = *p;
        if (c == '(')
            parens++;
        if (parens != 0 && OptAudit3)
            putchar(c);
        if (c == ')') {
            parens--;
            if (OptAudit3)
                putchar('\n');
        } else if (c == '[') {
            brackets++;
        }
        if (brackets != 0 && OptAudit4)
            putchar(c);
        if (c == ']') {
            brackets--;
            if (OptAudit4)
                putchar('\n');
        }
    }
    if (parens != 0)
        printf("unmatched () %s\n", name);
    if (brackets != 0)
        printf("unmatched [] %s\n", name);
}

void RunAudit()
{
    for (int i = 0; i < CatalogueSize(); i++)
        CheckBrackets(EntryName(i));
    ForgetCopies();
    if (OptAudit2) {
        for (int i = 0; i < CatalogueSize(); i++) {
            size_t len = strlen(EntryName(i));
            if (len > 61)
                printf("Long: [%02d] %s\n", (int)len, EntryName(i));
        }
    }
    printf("Unmatched listings in %s\n", GroupInfoName);
    LoadGroupInfo();
    if (GroupTable[0].pattern[0] == '\0') {
        printf("%s not found\n", GroupInfoName);
    } else {
        bool any = false;
        for (int i = 0; i < CatalogueSize(); i++) {
            if (FindGroup(i) == -1) {
                printf("%s\n", EntryName(i));
                any = true;
            }
        }
        if (!any)
            printf("[None found]\n");
    }
    printf(" \n");
}
