// The guide's tables of what the programs know, made from the driver's and
// the program's own tables when the guide is built: the cards the driver
// lists (include/orvel_cards.h) with the name the Select Device page gives
// them, the flash chips of the driver's chip table (sys/flash_chip_table.cpp)
// and the in-built image.
#ifndef GUIDEGEN_GUIDE_FACTS_H
#define GUIDEGEN_GUIDE_FACTS_H

#include <string>
#include <vector>

struct FactTable {
    std::vector<std::string> Head;
    std::vector<std::vector<std::string>> Rows;
};

// "cards", "chips" or "inbuilt"; false for any other name.
bool MakeFactTable(const std::string& name, FactTable* table);

#endif
