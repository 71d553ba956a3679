// Reading layouts into components.
#include "framework/Layouts.h"
#include "framework/SysUtils.h"

#include <algorithm>
#include <cctype>

#include "framework/LayoutParser.h"
#include "framework/TypeInfo.h"

namespace {

const std::pair<int64_t, AnsiString>* findIdent(const TIdentTable& idents, const AnsiString& name)
{
    for (const auto& entry : idents)
        if (SameText(entry.second, name))
            return &entry;
    return nullptr;
}

AnsiString identList(const TIdentTable& idents)
{
    AnsiString list;
    for (const auto& entry : idents)
        list += (list.empty() ? "" : ", ") + entry.second;
    return list;
}

AnsiString describe(const TLayoutValue& v)
{
    switch (v.Type) {
    case TLayoutValue::vtInteger:
        return "the number " + std::to_string(v.Integer);
    case TLayoutValue::vtFloat:
        return "a number with a fraction";
    case TLayoutValue::vtString:
        return "a string";
    case TLayoutValue::vtIdent:
        return "'" + v.Text + "'";
    case TLayoutValue::vtList:
        return "a list";
    case TLayoutValue::vtBinary:
        return "binary data";
    case TLayoutValue::vtSet:
        break;
    }
    return "a set";
}

// What the reader raises itself, already naming the line; anything else raised while a
// component's own code runs gets the line added.
class ELayoutError : public EReadError
{
public:
    explicit ELayoutError(const AnsiString& Msg) : EReadError(Msg) {}
};

TFindGlobalComponent& globalFinder()
{
    static TFindGlobalComponent finder;
    return finder;
}

}   // namespace

// Friend of TComponent: sets and clears the loading states.
class TLayoutReader
{
public:
    TLayoutReader(TComponent* Root, const AnsiString& Name, const TLayoutResolver& Resolver)
        : FRoot(Root), FName(Name), FResolver(Resolver)
    {
    }

    void Read(const TLayoutObject& Tree)
    {
        if (!SameText(Tree.ClassName, FRoot->ClassName()))
            Fail(Tree.Line, "the layout is of class " + Tree.ClassName + ", not " + FRoot->ClassName());
        FRoot->Include(csLoading);
        FRoot->Include(csReading);
        try {
            if (!Tree.Name.empty())
                Guard(Tree.Line, "", [&] { FRoot->SetName(Tree.Name); });
            ReadBody(FRoot, Tree);
            FRoot->Exclude(csReading);
            ResolveReferences();
        } catch (...) {
            // Newest first, so nothing is left pointing at what went before it.
            for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it)
                delete *it;
            FRoot->Exclude(csReading);
            FRoot->Exclude(csLoading);
            throw;
        }
        FRoot->Loaded();
        for (TComponent* c : FCreated)
            c->Loaded();
    }

private:
    struct Reference
    {
        TPersistent* Instance;
        const TPropertyInfo* Property;
        AnsiString Path;
        AnsiString Target;
        int Line;
    };

    void ReadBody(TComponent* Instance, const TLayoutObject& Node)
    {
        for (const TLayoutProperty& p : Node.Properties)
            ReadProperty(Instance, p);
        for (const TLayoutObject& child : Node.Children) {
            TComponent* c = Create(child, Instance);
            ReadBody(c, child);
            c->Exclude(csReading);
        }
    }

    TComponent* Create(const TLayoutObject& Node, TComponent* Parent)
    {
        TClass cls = GetClass(Node.ClassName);
        if (!cls)
            Fail(Node.Line, "Class " + Node.ClassName + " not found");
        if (!cls->CanCreate())
            Fail(Node.Line, "class " + cls->ClassName() + " is not a component that can be created");
        TComponent* c = nullptr;
        Guard(Node.Line, "", [&] { c = cls->Create(FRoot); });
        FCreated.push_back(c);
        c->Include(csLoading);
        c->Include(csReading);
        Guard(Node.Line, "", [&] {
            c->SetName(Node.Name);
            if (c->HasParent())
                c->SetParentComponent(Parent);
        });
        return c;
    }

    void ReadProperty(TComponent* Instance, const TLayoutProperty& Prop)
    {
        TPersistent* target = Instance;
        TClass cls = Instance->ClassType();
        const TPropertyInfo* info = nullptr;
        bool embedded = false;   // Glyph.Data = {...}: the bitmap itself, inline
        size_t start = 0;
        for (;;) {
            size_t dot = Prop.Path.find('.', start);
            AnsiString part = Prop.Path.substr(start, dot == AnsiString::npos ? AnsiString::npos : dot - start);
            info = cls->FindProperty(part);
            if (!info)
                Fail(Prop.Line, "unknown property '" + Prop.Path + "' of " + Instance->ClassName());
            if (dot == AnsiString::npos) {
                if (info->Kind() == pkStrings)
                    Fail(Prop.Line, "'" + Prop.Path + "' is a string list: write it as " + Prop.Path +
                                        ".Strings = ('...' '...')");
                break;
            }
            AnsiString head = Prop.Path.substr(0, dot);
            if (info->Kind() == pkBitmap) {
                if (!SameText(Prop.Path.substr(dot + 1), "Data"))
                    Fail(Prop.Line, "unknown property '" + Prop.Path + "' of " + Instance->ClassName() +
                                        " (a bitmap written inline is " + head + ".Data = {...})");
                embedded = true;
                break;
            }
            if (info->Kind() == pkStrings) {
                if (!SameText(Prop.Path.substr(dot + 1), "Strings"))
                    Fail(Prop.Line, "unknown property '" + Prop.Path + "' of " + Instance->ClassName() +
                                        " (a string list is written as " + head + ".Strings)");
                break;
            }
            if (info->Kind() != pkObject)
                Fail(Prop.Line, "'" + head + "' of " + Instance->ClassName() + " has no properties of its own");
            TPersistent* object = info->GetObject(target);
            if (!object)
                Fail(Prop.Line, "'" + head + "' of " + Instance->ClassName() + " is nil");
            TClass objectClass = ClassOfObject(object);
            cls = objectClass ? objectClass : info->ObjectClass();
            target = object;
            start = dot + 1;
        }
        if (embedded)
            ReadBitmapData(static_cast<TBitmap*>(info->GetObject(target)), Prop);
        else
            Guard(Prop.Line, Prop.Path, [&] { Assign(target, *info, Prop); });
    }

    void Assign(TPersistent* Target, const TPropertyInfo& Info, const TLayoutProperty& Prop)
    {
        const TLayoutValue& v = Prop.Value;
        switch (Info.Kind()) {
        case pkInteger:
            if (v.Type == TLayoutValue::vtIdent && !Info.Idents().empty()) {
                const auto* entry = findIdent(Info.Idents(), v.Text);
                if (!entry)
                    Fail(Prop.Line, "'" + v.Text + "' is not a named value of " + Prop.Path);
                Info.SetOrdinal(Target, entry->first);
            } else if (v.Type == TLayoutValue::vtInteger) {
                Info.SetOrdinal(Target, IntegerValue(Info, v));
            } else {
                Expected(Prop, Info.Idents().empty() ? "an integer" : "an integer or a name");
            }
            break;
        case pkBoolean:
            if (v.Type != TLayoutValue::vtIdent || (!SameText(v.Text, "True") && !SameText(v.Text, "False")))
                Expected(Prop, "True or False");
            Info.SetOrdinal(Target, SameText(v.Text, "True"));
            break;
        case pkEnumeration: {
            const auto* entry = v.Type == TLayoutValue::vtIdent ? findIdent(Info.Idents(), v.Text) : nullptr;
            if (!entry)
                Expected(Prop, "one of " + identList(Info.Idents()));
            Info.SetOrdinal(Target, entry->first);
            break;
        }
        case pkSet: {
            if (v.Type != TLayoutValue::vtSet)
                Expected(Prop, "a set [" + identList(Info.Idents()) + "]");
            uint64_t bits = 0;
            for (const AnsiString& item : v.Items) {
                const auto* entry = findIdent(Info.Idents(), item);
                if (!entry)
                    Fail(Prop.Line, "'" + item + "' is not an element of " + Prop.Path + " (" +
                                        identList(Info.Idents()) + ")");
                bits |= uint64_t(1) << entry->first;
            }
            Info.SetOrdinal(Target, int64_t(bits));
            break;
        }
        case pkFloat:
            if (v.Type == TLayoutValue::vtInteger)
                Info.SetFloat(Target, static_cast<long double>(v.Integer));
            else if (v.Type == TLayoutValue::vtFloat)
                Info.SetFloat(Target, v.Float);
            else
                Expected(Prop, "a number");
            break;
        case pkString:
            if (v.Type != TLayoutValue::vtString)
                Expected(Prop, "a string");
            Info.SetString(Target, v.Text);
            break;
        case pkStrings: {
            if (v.Type != TLayoutValue::vtList)
                Expected(Prop, "a list of strings ('...' '...')");
            auto* strings = static_cast<TStrings*>(Info.GetObject(Target));
            if (!strings)
                Fail(Prop.Line, "'" + Prop.Path + "' is nil");
            strings->BeginUpdate();   // one change for the whole list
            try {
                strings->Clear();
                for (const AnsiString& item : v.Items)
                    strings->Add(item);
            } catch (...) {
                strings->EndUpdate();
                throw;
            }
            strings->EndUpdate();
            break;
        }
        case pkObject:
            Fail(Prop.Line, "'" + Prop.Path + "' is an object: set its properties, as in " + Prop.Path + ".Name");
        case pkBitmap:
            if (v.Type == TLayoutValue::vtBinary)
                Fail(Prop.Line, "binary data is written as " + Prop.Path + ".Data = {...}");
            if (v.Type != TLayoutValue::vtString)
                Expected(Prop, "the name of a bitmap resource or file");
            LoadBitmap(static_cast<TBitmap*>(Info.GetObject(Target)), v.Text, Prop);
            break;
        case pkComponent:
            if (v.Type != TLayoutValue::vtIdent)
                Expected(Prop, "the name of a component");
            if (SameText(v.Text, "nil"))
                Info.SetComponent(Target, nullptr);
            else
                FReferences.push_back({Target, &Info, Prop.Path, v.Text, Prop.Line});
            break;
        case pkEvent:
            if (v.Type != TLayoutValue::vtIdent || v.Text.find('.') != AnsiString::npos)
                Expected(Prop, "the name of a method of " + FRoot->ClassName());
            BindEvent(Target, Info, v.Text, Prop);
            break;
        }
    }

    // A hexadecimal number stands for a bit pattern: $80000005 fits a 32-bit property.
    static int64_t IntegerValue(const TPropertyInfo& Info, const TLayoutValue& v)
    {
        int64_t value = v.Integer;
        bool narrow = Info.MinValue() > std::numeric_limits<int64_t>::min() / 2;
        if (v.Hex && narrow && value > Info.MaxValue() && value <= Info.MaxValue() - Info.MinValue())
            value -= Info.MaxValue() - Info.MinValue() + 1;
        return value;
    }

    // A bitmap named by resource (MainForm.TopPanel.ArtworkSet) or by file ('play.bmp').
    void LoadBitmap(TBitmap* Bitmap, const AnsiString& Name, const TLayoutProperty& Prop)
    {
        if (!Bitmap)
            Fail(Prop.Line, "'" + Prop.Path + "' is nil");
        if (Name.empty() || Name == "." || Name == ".." || Name.find_first_of("/\\") != AnsiString::npos)
            Fail(Prop.Line, "'" + Name + "' is not the name of a resource or of a file in the layout's folder");
        std::unique_ptr<TStream> stream = FResolver ? FResolver(Name) : nullptr;
        if (!stream)
            Fail(Prop.Line, "bitmap '" + Name + "' not found (no resource or file of that name)");
        try {
            Bitmap->LoadFromStream(stream.get());
        } catch (const std::exception& e) {
            Fail(Prop.Line, "bitmap '" + Name + "' for " + Prop.Path + " is malformed: " + e.what());
        }
    }

    // The classic inline forms: a bitmap's own data (its size as 4 bytes, then the BMP file),
    // or a picture's (its class name as a short string, then the bitmap's data).
    void ReadBitmapData(TBitmap* Bitmap, const TLayoutProperty& Prop)
    {
        const TLayoutValue& v = Prop.Value;
        if (v.Type != TLayoutValue::vtBinary)
            Expected(Prop, "binary data {...}");
        if (!Bitmap)
            Fail(Prop.Line, "'" + Prop.Path + "' is nil");
        const AnsiString& bytes = v.Text;
        size_t at = 0;
        size_t nameLength = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
        bool named = nameLength > 0 && nameLength < 64 && bytes.size() > nameLength &&
                     std::all_of(bytes.begin() + 1, bytes.begin() + 1 + nameLength, [](char c) {
                         return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
                     });
        if (named) {
            AnsiString className = bytes.substr(1, nameLength);
            if (!SameText(className, "TBitmap"))
                Fail(Prop.Line, "the picture in " + Prop.Path + " is a " + className +
                                    "; only TBitmap pictures can be embedded");
            at = 1 + nameLength;
        }
        if (bytes.size() - at < 4)
            Fail(Prop.Line, "the bitmap data of " + Prop.Path + " is too short to hold its size");
        uint32_t stated = 0;
        for (int i = 3; i >= 0; --i)
            stated = stated << 8 | static_cast<unsigned char>(bytes[at + size_t(i)]);
        at += 4;
        if (stated != bytes.size() - at)
            Fail(Prop.Line, "the bitmap data of " + Prop.Path + " states " + std::to_string(stated) +
                                " bytes but holds " + std::to_string(bytes.size() - at));
        TMemoryStream stream;
        if (stated > 0)
            stream.WriteBuffer(bytes.data() + at, int(stated));
        stream.SetPosition(0);
        try {
            Bitmap->LoadFromStream(&stream);
        } catch (const std::exception& e) {
            Fail(Prop.Line, "the bitmap embedded in " + Prop.Path + " is malformed: " + e.what());
        }
    }

    void BindEvent(TPersistent* Target, const TPropertyInfo& Info, const AnsiString& Name, const TLayoutProperty& Prop)
    {
        const TMethodInfo* method = FRoot->ClassType()->FindMethod(Name);
        if (!method)
            Fail(Prop.Line, FRoot->ClassName() + " has no published method '" + Name + "' for " + Prop.Path);
        if (!Info.BindEvent(Target, *method, FRoot))
            Fail(Prop.Line, Prop.Path + " needs a handler of type " + Info.TypeText() + ", but " + method->Name() +
                                " is of type " + TypeName(method->Signature()));
    }

    void ResolveReferences()
    {
        for (const Reference& r : FReferences) {
            TComponent* target = FindTarget(r.Target);
            if (!target)
                Fail(r.Line, "unknown component '" + r.Target + "' for " + r.Path);
            bool fits = false;
            Guard(r.Line, r.Path, [&] { fits = r.Property->SetComponent(r.Instance, target); });
            if (!fits)
                Fail(r.Line, r.Path + " needs a " + r.Property->TypeText() + ", but " + r.Target + " is a " +
                                 target->ClassName());
        }
    }

    TComponent* FindTarget(const AnsiString& Name) const
    {
        size_t dot = Name.find('.');
        if (dot == AnsiString::npos)
            return SameText(Name, FRoot->GetName()) ? FRoot : FRoot->FindComponent(Name);
        AnsiString form = Name.substr(0, dot);
        TComponent* owner = SameText(form, FRoot->GetName()) ? FRoot : FindGlobalComponent(form);
        return owner ? owner->FindComponent(Name.substr(dot + 1)) : nullptr;
    }

    // Runs code of the components themselves; whatever it raises comes back with the line.
    template <class F>
    void Guard(int Line, const AnsiString& Path, F&& Call)
    {
        try {
            Call();
        } catch (const ELayoutError&) {
            throw;
        } catch (const std::exception& e) {
            Fail(Line, (Path.empty() ? AnsiString() : "bad value for " + Path + ": ") + e.what());
        }
    }

    [[noreturn]] void Expected(const TLayoutProperty& Prop, const AnsiString& What) const
    {
        Fail(Prop.Line, "expected " + What + " for " + Prop.Path + " but found " + describe(Prop.Value));
    }

    [[noreturn]] void Fail(int Line, const AnsiString& What) const
    {
        throw ELayoutError(LayoutMessage(FName, Line, What));
    }

    TComponent* FRoot;
    const AnsiString& FName;
    const TLayoutResolver& FResolver;
    std::vector<TComponent*> FCreated;
    std::vector<Reference> FReferences;
};

void ReadLayout(TComponent* Root, const AnsiString& Text, const AnsiString& LayoutName, const TLayoutResolver& Resolver)
{
    if (!Root)
        throw EReadError(LayoutName + ": no component to read into");
    TLayoutObject tree = ParseLayout(Text, LayoutName);
    TLayoutReader(Root, LayoutName, Resolver).Read(tree);
}

void LoadLayout(TComponent* Root, const AnsiString& FileName, const TLayoutResolver& Resolver)
{
    std::unique_ptr<TStream> stream = Resolver ? Resolver(FileName) : nullptr;
    if (!stream)
        throw EReadError("Layout " + FileName + " not found");
    int64_t size = stream->GetSize() - stream->GetPosition();
    if (size < 0 || size > (int64_t(1) << 26))
        throw EReadError("Layout " + FileName + " is not a layout");
    AnsiString text(size_t(size), '\0');
    stream->ReadBuffer(text.data(), int(size));
    ReadLayout(Root, text, FileName, Resolver);
}

void RegisterFindGlobalComponentProc(TFindGlobalComponent Proc)
{
    globalFinder() = std::move(Proc);
}

TComponent* FindGlobalComponent(const AnsiString& Name)
{
    const TFindGlobalComponent& finder = globalFinder();
    return finder ? finder(Name) : nullptr;
}
