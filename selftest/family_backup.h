#pragma once

#include <string>
#include <vector>

#include "regfile/reg_file_writer.h"
#include "selftest/family_keys.h"

namespace instdll::selftest {

// The family's keys of a machine that has them, read whole with every value, so that the run
// can take them away and put them back after.
class FamilyBackup {
public:
    explicit FamilyBackup(const std::vector<FamilyKey>& keys);

    // The keys as a version 5.00 .reg file, the tool's own format: the way back should the
    // program not get to put them back itself.
    bool WriteRegFile(const std::string& path) const;

    // Writes every key and value back; true when the registry then holds what was read.
    bool PutBack() const;

private:
    std::vector<FamilyKey> keys_;
    std::vector<RegFileKey> contents_;
};

}  // namespace instdll::selftest
