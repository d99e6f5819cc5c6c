// A host as it was before some entries were added to one of its tables: a core table like the
// real one whose ImportFunctionTable hands out that table cut short, its size ending where the
// later entries begin and those entries null. For tests of how the plug-in meets an older host.
//
//     OlderHostTable<HostCosTable> older(host.GetHostCoreTable(), HOST_TABLE_COS,
//                                        offsetof(HostCosTable, GetInfoDict));
//     hostcalls::ConnectHost(older.core(), 1);
//
// One at a time: the table handed out is shared by every instance of the same Table.
#pragma once

#include "hostapi/HostApi.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace tesser::test {

template <typename Table> class OlderHostTable {
public:
    OlderHostTable(const HostCoreTable* real, const char* tableName, size_t size) {
        real_ = real;
        name_ = tableName;
        size_ = size < sizeof(Table) ? size : sizeof(Table);
        core_ = *real;
        core_.ImportFunctionTable = &Import;
    }
    const HostCoreTable* core() const { return &core_; }

private:
    static HErrorCode Import(HAtom name, uint32_t version, const void** table) {
        const HErrorCode code = real_->ImportFunctionTable(name, version, table);
        char text[32] = {};
        real_->GetAtomText(name, text, sizeof text);
        if (code == kHErrNone && name_ == text) {
            std::memcpy(&table_, *table, sizeof(Table));
            std::memset(reinterpret_cast<unsigned char*>(&table_) + size_, 0,
                        sizeof(Table) - size_);
            table_.size = static_cast<uint32_t>(size_);
            *table = &table_;
        }
        return code;
    }

    static inline const HostCoreTable* real_ = nullptr;
    static inline std::string name_;
    static inline size_t size_ = 0;
    static inline Table table_{};
    HostCoreTable core_{};
};

} // namespace tesser::test
