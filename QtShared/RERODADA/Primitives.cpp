// Raw byte exchanges with the board, its modem lines and pins, and the
// user-interface entry points kept for callers of the library.
#include "rerodada.h"

#include "Connection.h"
#include "Library.h"
#include "Logs.h"

namespace rerodada {
namespace {

// The listing of one exchange: what went out, then what came back.
void ListExchange(const uint8_t* sent, uint32_t count) {
    if (!ListingActive()) return;
    CommListingLine(CommTimestamp().c_str(), ">", count, sent, "; ");
    CommListingLine("", "< ", Active_Connection->ResultCharCount(),
                    Active_Connection->ResultBuffer(), "");
}

} // namespace
} // namespace rerodada

using namespace rerodada;

RERODADA_API(bool) ReroDada2ByteWrite(uint8_t b0, uint8_t b1, uint8_t rxMinCount) try {
    EnsureInitialised();
    bool connected = Active_Connection->IsConnected();
    RERODADA_TRACE("ReroDada2ByteWrite(0x%2.2x, 0x%2.2x) connected=%d", b0, b1, connected);
    const uint8_t bytes[2] = {b0, b1};
    bool ok = Active_Connection->Write(bytes, 2, rxMinCount);
    ListExchange(bytes, 2);
    return ok;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) ReroDadaStringWrite(const uint8_t* data, uint32_t count, int rxMinCount) try {
    EnsureInitialised();
    bool ok = Active_Connection->Write(data, count, rxMinCount > 0 ? rxMinCount : 0);
    ListExchange(data, count);
    return ok;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool)
ReroDadaStringWriteFramedByRTS(const uint8_t* data, int count, int rxMinCount, int frame) try {
    EnsureInitialised();
    uint32_t n = count > 0 ? static_cast<uint32_t>(count) : 0;
    bool ok =
        Active_Connection->WriteFramedByRTS(data, n, rxMinCount > 0 ? rxMinCount : 0, frame != 0);
    ListExchange(data, n);
    return ok;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(const char*) ReroDadaStringRead(int count, uint32_t) try {
    EnsureInitialised();
    Active_Connection->Read(count > 0 ? static_cast<uint32_t>(count) : 0);
    RERODADA_TRACE("ReroDadaStringRead(%d) received %u", count,
                   Active_Connection->ResultCharCount());
    if (ListingActive())
        CommListingLine(CommTimestamp().c_str(), "< ", Active_Connection->ResultCharCount(),
                        Active_Connection->ResultBuffer(), "; success");
    return reinterpret_cast<const char*>(Active_Connection->ResultBuffer());
} catch (...) {
    return ExceptionResult<const char*>(__func__);
}

RERODADA_API(uint8_t) ReroDadaResultChar(uint32_t index) try {
    EnsureInitialised();
    return Active_Connection->ResultChar(index);
} catch (...) {
    return ExceptionResult<uint8_t>(__func__);
}

RERODADA_API(uint32_t) ReroDadaResultCharCount(void) try {
    EnsureInitialised();
    return Active_Connection->ResultCharCount();
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(void) ReroDadaRTS(uint32_t value) try {
    EnsureInitialised();
    ListingNotef("ReroDadaRTS(value=%d)", static_cast<int>(value));
    Active_Connection->CommRTS(value != 0);
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(bool) ReroDadaCTS(void) try {
    EnsureInitialised();
    return Active_Connection->CommCTS();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) ReroDadaDSR(void) try {
    EnsureInitialised();
    return Active_Connection->CommDSR();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) ReroDadaDCD(void) try {
    EnsureInitialised();
    return Active_Connection->CommDCD();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) ReroDadaRI(void) try {
    EnsureInitialised();
    return Active_Connection->CommRI();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(void) BrimPinWrite(uint32_t pin, uint32_t value) try {
    EnsureInitialised();
    ListingNotef("BrimPinWrite(pinID=K%d, value=%d)", static_cast<int>(pin),
                 static_cast<int>(value));
    ReroDada2ByteWrite(static_cast<uint8_t>(0xF0 + (pin & 0x0F)), static_cast<uint8_t>(value), 1);
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(bool) BrimPinRead(uint32_t pin) try {
    EnsureInitialised();
    ListingNotef("BrimPinRead(pinID=K%d)", static_cast<int>(pin));
    if (!ReroDada2ByteWrite(static_cast<uint8_t>(0xE0 + (pin & 0x0F)), 0x00, 1)) {
        RERODADA_TRACE("failed ReroDada2ByteWrite");
        return false;
    }
    return ReroDadaResultCharCount() == 1 && ReroDadaResultChar(0) != 0;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(int) BrimGUIShow(void) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIHide(void) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIVisible(void) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIShowCom(bool) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIShowGPIO(bool) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIShow2wire(bool) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIShowSPI(bool) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIShowP8Bus(bool) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIShowLog(bool) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
RERODADA_API(int) BrimGUIShowScript(bool) try { return 0; } catch (...) {
    return ExceptionResult<int>(__func__);
}
