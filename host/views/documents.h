// Host documents: every placed display's stored settings in one human-readable JSON file.
#pragma once

#include "automation/variant.h"
#include "persistence/property_bag.h"

#include <string>
#include <utility>
#include <vector>

namespace qhost {

/// A property bag that keeps its entries in the order they were written, as a container does.
class OrderedBag : public seg4::PropertyBag {
public:
    seg4::Variant ReadProperty(const std::u16string& name, const seg4::Variant& defaultValue) override;
    void WriteProperty(const std::u16string& name, const seg4::Variant& value) override;

    std::vector<std::pair<std::u16string, seg4::Variant>> entries;
    /// The last name read: when a load fails, the entry that failed.
    std::u16string lastRead;
};

struct DocumentDisplay {
    std::string name;
    OrderedBag bag;
};

/// The document as JSON text ({"format": "qhost-document", "version": 1, "displays": [...]}).
std::string documentToJson(const std::vector<DocumentDisplay>& displays);
/// Reads a document. Throws std::runtime_error with a clear message for text that is no document;
/// an entry whose type cannot be honoured is kept with its nearest value and named in `warnings`.
std::vector<DocumentDisplay> documentFromJson(const std::string& text, std::vector<std::string>& warnings);

} // namespace qhost
