// The resources built into the program, and the resolvers layouts read their files through.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <mutex>

#include "framework/Files.h"
#include "framework/Layouts.h"
#include "framework/SysUtils.h"

namespace {

struct ResourceTable
{
    std::mutex lock;
    std::map<AnsiString, std::shared_ptr<const std::vector<uint8_t>>> byName;   // lower-case name
};

ResourceTable& resources()
{
    static ResourceTable* table = new ResourceTable;   // outlives every static that might ask
    return *table;
}

}   // namespace

void RegisterResource(const AnsiString& Name, const void* Data, size_t Size)
{
    auto bytes = std::make_shared<const std::vector<uint8_t>>(static_cast<const uint8_t*>(Data),
                                                              static_cast<const uint8_t*>(Data) + Size);
    ResourceTable& table = resources();
    std::lock_guard guard(table.lock);
    table.byName[LowerCase(Name)] = std::move(bytes);
}

std::shared_ptr<const std::vector<uint8_t>> FindResource(const AnsiString& Name)
{
    ResourceTable& table = resources();
    std::lock_guard guard(table.lock);
    auto it = table.byName.find(LowerCase(Name));
    return it == table.byName.end() ? nullptr : it->second;
}

TResourceStream::TResourceStream(const AnsiString& Name) : FData(FindResource(Name))
{
    if (!FData)
        throw EResNotFound("Resource " + Name + " not found");
    // Read-only: Write refuses, so the shared bytes are never changed.
    SetPointer(const_cast<uint8_t*>(FData->data()), int64_t(FData->size()));
}

int TResourceStream::Write(const void*, int)
{
    throw EStreamError("Can't write to a read-only resource stream");
}

TLayoutResolver ResourceResolver()
{
    return [](const AnsiString& FileName) -> std::unique_ptr<TStream> {
        if (!FindResource(FileName))
            return nullptr;
        return std::make_unique<TResourceStream>(FileName);
    };
}

TLayoutResolver FolderResolver(const AnsiString& Folder)
{
    TLayoutResolver exact = [Folder](const AnsiString& FileName) -> std::unique_ptr<TStream> {
        AnsiString base = Folder.empty() || Folder.back() == '/' ? Folder : Folder + "/";
        AnsiString path = base + FileName;
        if (!FileExists(path)) {
            path.clear();
            std::error_code error;
            for (const auto& entry : std::filesystem::directory_iterator(base.empty() ? "." : base, error))
                if (SameText(entry.path().filename().string(), FileName) && FileExists(entry.path().string())) {
                    path = entry.path().string();
                    break;
                }
            if (path.empty())
                return nullptr;
        }
        return std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyWrite);
    };
    // Artwork named as its resource (MainForm.TopPanel.ArtworkSet) is the file of that name
    // plus .bmp, the file the resource is compiled from.
    return [exact](const AnsiString& FileName) -> std::unique_ptr<TStream> {
        std::unique_ptr<TStream> stream = exact(FileName);
        if (!stream && FileName.find('.') != AnsiString::npos &&
            !SameText(FileName.substr(FileName.size() >= 4 ? FileName.size() - 4 : 0), ".bmp"))
            stream = exact(FileName + ".bmp");
        return stream;
    };
}
