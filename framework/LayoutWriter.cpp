// Writing a component tree back as layout text.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

#include "framework/Layouts.h"
#include "framework/TypeInfo.h"

namespace {

constexpr int maxObjectDepth = 16;   // a sub-object that leads back to itself must end

AnsiString quoted(const AnsiString& s)
{
    AnsiString out;
    bool inQuotes = false;
    for (char ch : s) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 32 && c < 127) {
            if (!inQuotes)
                out += '\'';
            inQuotes = true;
            out += ch;
            if (ch == '\'')
                out += '\'';
        } else {
            if (inQuotes)
                out += '\'';
            inQuotes = false;
            out += '#';
            out += std::to_string(c);
        }
    }
    if (inQuotes)
        out += '\'';
    return out.empty() ? "''" : out;
}

// The shortest text that reads back as the same value.
AnsiString floatText(long double value)
{
    char buffer[64];
    auto d = static_cast<double>(value);
    if (static_cast<long double>(d) == value) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
        return AnsiString(buffer, result.ptr);
    }
    std::snprintf(buffer, sizeof buffer, "%.21Lg", value);
    return buffer;
}

class Writer
{
public:
    Writer(TComponent* root, const TBitmapSaver& saver) : FRoot(root), FSaver(saver) {}

    AnsiString Write()
    {
        Component(FRoot, 0);
        return FOut;
    }

private:
    void Component(TComponent* c, int depth)
    {
        if (depth > 64)
            throw EWriteError("Components are nested too deeply below " + FRoot->GetName());
        TClass cls = c->ClassType();
        if (cls->TypeId() != typeid(*c))
            throw EWriteError(TypeName(typeid(*c)) + " does not override ClassType");
        AnsiString indent(size_t(depth) * 2, ' ');
        FOut += indent + "object " + (c->GetName().empty() ? "" : c->GetName() + ": ") + cls->ClassName() + "\n";
        Properties(c, cls, c->GetName(), "", indent + "  ", 0);
        c->GetChildren([&](TComponent* child) { Component(child, depth + 1); }, FRoot);
        FOut += indent + "end\n";
    }

    void Properties(TPersistent* instance, TClass cls, const AnsiString& owner, const AnsiString& prefix,
                    const AnsiString& indent, int depth)
    {
        if (depth > maxObjectDepth)
            throw EWriteError("Sub-objects of " + owner + " are nested too deeply at " + prefix);
        for (const TPropertyInfo* p : cls->Properties()) {
            if (!p->IsStored(instance))
                continue;
            AnsiString path = prefix + p->Name();
            if (p->Kind() == pkObject) {
                TPersistent* object = p->GetObject(instance);
                if (object) {
                    TClass objectClass = ClassOfObject(object);
                    Properties(object, objectClass ? objectClass : p->ObjectClass(), owner, path + ".", indent,
                               depth + 1);
                }
                continue;
            }
            if (p->Kind() == pkStrings) {
                Strings(static_cast<TStrings*>(p->GetObject(instance)), path, indent);
                continue;
            }
            if (p->IsDefault(instance))
                continue;
            if (p->Kind() == pkBitmap && FSaver) {
                auto* bitmap = static_cast<TBitmap*>(p->GetObject(instance));
                AnsiString name = FSaver(owner + "." + path, bitmap);
                if (name.empty())
                    Embedded(bitmap, path, indent);
                else
                    FOut += indent + path + " = " + quoted(name) + "\n";
                continue;
            }
            AnsiString value = Value(instance, *p, owner, path);
            if (!value.empty())
                FOut += indent + path + " = " + value + "\n";
        }
    }

    // Glyph.Data = {
    //   36010000424D3601...}
    // the bitmap's own classic form: its size as 4 bytes, then the BMP file; 32 bytes a line.
    void Embedded(TBitmap* bitmap, const AnsiString& path, const AnsiString& indent)
    {
        TMemoryStream bmp;
        bitmap->SaveToStream(&bmp);
        auto size = uint32_t(bmp.GetSize());
        std::vector<uint8_t> bytes{uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)};
        const auto* data = static_cast<const uint8_t*>(bmp.Memory());
        bytes.insert(bytes.end(), data, data + size);
        static const char digits[] = "0123456789ABCDEF";
        FOut += indent + path + ".Data = {";
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i % 32 == 0)
                FOut += "\n" + indent + "  ";
            FOut += digits[bytes[i] >> 4];
            FOut += digits[bytes[i] & 15];
        }
        FOut += "}\n";
    }

    // Items.Strings = (
    //   'first'
    //   'second')
    // and nothing for an empty list.
    void Strings(TStrings* strings, const AnsiString& path, const AnsiString& indent)
    {
        if (!strings || strings->Count() == 0)
            return;
        FOut += indent + path + ".Strings = (";
        for (int i = 0; i < strings->Count(); ++i)
            FOut += "\n" + indent + "  " + quoted(strings->Strings(i));
        FOut += ")\n";
    }

    // The value's text, or '' when it cannot be written (a handler set in code, an unnamed
    // component).
    AnsiString Value(TPersistent* instance, const TPropertyInfo& p, const AnsiString& owner, const AnsiString& path)
    {
        switch (p.Kind()) {
        case pkInteger: {
            int64_t v = p.GetOrdinal(instance);
            const AnsiString* name = Ident(p, v);
            return name ? *name : std::to_string(v);
        }
        case pkBoolean:
            return p.GetOrdinal(instance) ? "True" : "False";
        case pkEnumeration: {
            int64_t v = p.GetOrdinal(instance);
            if (const AnsiString* name = Ident(p, v))
                return *name;
            throw EWriteError("The value " + std::to_string(v) + " of " + owner + "." + path + " has no name");
        }
        case pkSet: {
            auto bits = uint64_t(p.GetOrdinal(instance));
            AnsiString items;
            for (const auto& [value, name] : p.Idents())
                if (bits & (uint64_t(1) << value)) {
                    items += (items.empty() ? "" : ", ") + name;
                    bits &= ~(uint64_t(1) << value);
                }
            if (bits)
                throw EWriteError("The set " + owner + "." + path + " holds elements without a name");
            return "[" + items + "]";
        }
        case pkFloat: {
            long double v = p.GetFloat(instance);
            if (!std::isfinite(v))
                throw EWriteError("The value of " + owner + "." + path + " is not a finite number");
            return floatText(v);
        }
        case pkString:
            return quoted(p.GetString(instance));
        case pkBitmap:
            throw EWriteError("No place to save the bitmap " + owner + "." + path);
        case pkComponent:
            return Reference(p.GetComponent(instance));
        case pkEvent:
            return p.HandlerName(instance);
        case pkObject:
        case pkStrings:
            break;
        }
        return "";
    }

    static const AnsiString* Ident(const TPropertyInfo& p, int64_t value)
    {
        for (const auto& entry : p.Idents())
            if (entry.first == value)
                return &entry.second;
        return nullptr;
    }

    AnsiString Reference(TComponent* target) const
    {
        if (target == FRoot || target->Owner() == FRoot || !target->Owner() || target->Owner()->GetName().empty())
            return target->GetName();
        if (target->GetName().empty())
            return "";
        return target->Owner()->GetName() + "." + target->GetName();
    }

    TComponent* FRoot;
    const TBitmapSaver& FSaver;
    AnsiString FOut;
};

}   // namespace

AnsiString WriteLayout(TComponent* Root, const TBitmapSaver& SaveBitmap)
{
    if (!Root)
        throw EWriteError("No component to write");
    return Writer(Root, SaveBitmap).Write();
}

TBitmapSaver EmbedBitmaps()
{
    return [](const AnsiString&, TBitmap*) { return AnsiString(); };
}
