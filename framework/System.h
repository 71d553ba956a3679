#pragma once
// The framework's basic types: strings, the root object and the exception family.
#include <functional>
#include <stdexcept>
#include <string>

using AnsiString = std::string;

class TObject
{
public:
    virtual ~TObject() = default;
};

// Handler of a plain notification; the sender is the object that changed.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class Exception : public std::runtime_error
{
public:
    explicit Exception(const AnsiString& Msg) : std::runtime_error(Msg) {}
    AnsiString Message() const { return what(); }
};

// The framework's named kinds of failure, so callers can tell them apart.
#define LUMO_EXCEPTION(Name, Base)                                   \
    class Name : public Base                                          \
    {                                                                 \
    public:                                                           \
        explicit Name(const AnsiString& Msg) : Base(Msg) {}           \
    };

LUMO_EXCEPTION(EConvertError, Exception)
LUMO_EXCEPTION(EInvalidOperation, Exception)
LUMO_EXCEPTION(EOutOfResources, Exception)
LUMO_EXCEPTION(EInvalidGraphic, Exception)
LUMO_EXCEPTION(EInvalidGraphicOperation, Exception)
LUMO_EXCEPTION(EStreamError, Exception)
LUMO_EXCEPTION(EReadError, EStreamError)
LUMO_EXCEPTION(EWriteError, EStreamError)
LUMO_EXCEPTION(EFOpenError, EStreamError)
LUMO_EXCEPTION(EFCreateError, EStreamError)
LUMO_EXCEPTION(EInOutError, Exception)

#undef LUMO_EXCEPTION
