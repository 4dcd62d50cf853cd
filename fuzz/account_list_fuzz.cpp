// Any bytes as an account list file and as what the administration windows
// take from the server: the lines parsed (over-long ones skipped whole), the
// records sorted by every column both ways, the texts made, and the same
// bytes read as an action file and as log folder paths.

#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "admin/api/AdminRules.h"
#include "contacts/api/AccountList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<contacts::AccountRecord> records;
    contacts::AccountRecord record;
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string_view::npos) end = all.size();
        const std::string_view line = all.substr(at, end - at);
        if (contacts::ParseAccountLine(line, record)) {
            if (line.size() > contacts::kMaxAccountLine) __builtin_trap();
            (void)contacts::CreatedText(record);
            (void)contacts::LastLoginText(record);
            records.push_back(record);
        }
        at = end + 1;
    }
    contacts::AccountSortKeys keys;
    keys.Build(records);
    std::vector<uint32_t> rows(records.size());
    std::iota(rows.begin(), rows.end(), 0u);
    contacts::AccountSortOrder order;
    for (int column = 0; column < contacts::kAccountColumnCount; ++column) {
        order.HeaderClicked(column);
        contacts::SortAccounts(keys, rows, order);
    }
    // Every row is still there once.
    std::vector<bool> seen(rows.size());
    for (uint32_t r : rows) {
        if (r >= seen.size() || seen[r]) __builtin_trap();
        seen[r] = true;
    }

    const std::vector<std::string> names = admin::ActionFileNames(all);
    for (const std::string& name : names) {
        if (name.empty() || name.find('\n') != std::string::npos) __builtin_trap();
    }
    const std::string parent = admin::ParentLogPath(all);
    if (parent.size() > all.size() && parent != "/") __builtin_trap();
    (void)admin::ChildLogPath(parent, all);
    (void)admin::LogPathLabel(all);
    (void)admin::FormatZorvicNumber(all);
    return 0;
}
