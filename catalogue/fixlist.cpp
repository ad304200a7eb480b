// fixlist.cpp - the fix list VBoyMiss.dat: the missing entries as a Logiqx XML DAT that other collection tools read
#include "catalogue/catalogue.h"
#include "catalogue/dat.h"

#include <pugixml.hpp>

// Hands pugixml's text to a stream.
struct StreamWriter : pugi::xml_writer {
    explicit StreamWriter(FILE* out) : stream(out) {}
    void write(const void* data, size_t size) override { fwrite(data, 1, size, stream); }
    FILE* stream;
};

void WriteFixDat(FILE* stream, bool (*listed)(int))
{
    static const char* const hashNames[] = {"md5", "sha1", "sha256"};
    StreamWriter writer(stream);
    // The prolog, then the header and each game printed as a child of
    // <datafile>, one at a time: a list of 100,000 entries is never held whole.
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    doc.append_child(pugi::node_doctype)
        .set_value("datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
                   "\"http://www.logiqx.com/Dats/datafile.dtd\"");
    for (pugi::xml_node node : doc.children())
        node.print(writer, "\t", pugi::format_default, pugi::encoding_utf8, 0);
    fputs("<datafile>\n", stream);
    doc.reset();
    pugi::xml_node header = doc.append_child("header");
    header.append_child("name").text() = DatHeaderName.c_str();
    header.append_child("description").text() =
        ("Missing from the collection: " + DatHeaderName + " (" + DatHeaderVersion + ")").c_str();
    header.append_child("version").text() = DatHeaderVersion.c_str();
    header.append_child("author").text() = "QuorVBoy";
    header.print(writer, "\t", pugi::format_default, pugi::encoding_utf8, 1);
    for (int i = 0; i < CatalogueSize(); i++) {
        if (!listed(i))
            continue;
        const CatalogueEntry& entry = CatalogueEntries[i];
        doc.reset();
        pugi::xml_node game = doc.append_child("game");
        game.append_attribute("name") = EntryName(i);
        game.append_child("description").text() = EntryName(i);
        pugi::xml_node rom = game.append_child("rom");
        rom.append_attribute("name") = (std::string(EntryName(i)) + ".vb").c_str();
        if (entry.hasSize)
            rom.append_attribute("size") = entry.size;
        if (entry.hasCrc) {
            char crc[9];
            FormatCrcText(entry.crc, crc);
            rom.append_attribute("crc") = crc;
        }
        if (entry.hashKind != DatNoHash)
            rom.append_attribute(hashNames[entry.hashKind]) = DatHashText(entry).c_str();
        if (entry.nodump || entry.baddump)
            rom.append_attribute("status") = entry.nodump ? "nodump" : "baddump";
        game.print(writer, "\t", pugi::format_default, pugi::encoding_utf8, 1);
    }
    fputs("</datafile>\n", stream);
}
