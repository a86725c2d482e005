#include "TableReader.h"

namespace talvex::tables {

struct TableReader::State {
    Needs needs;
    ReaderCounts counts;
};

TableReader::TableReader(Needs needs) : state_(std::make_unique<State>()) { state_->needs = needs; }
TableReader::~TableReader() = default;
TableReader::TableReader(TableReader&&) noexcept = default;
TableReader& TableReader::operator=(TableReader&&) noexcept = default;

void TableReader::Feed(const std::uint8_t*, std::size_t count, bool) { state_->counts.packets += count; }
bool TableReader::Complete() const { return false; }
std::string TableReader::MissingText() const { return "the PAT"; }
Multiplex TableReader::Result() const { return {}; }
const ReaderCounts& TableReader::Counts() const { return state_->counts; }

}  // namespace talvex::tables
