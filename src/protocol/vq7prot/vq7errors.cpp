// Texts of the meter's own error codes and of every result code.
#include "protocol/vq7prot/vq7cmd.h"

#include "common/NumberText.h"

namespace {

const char* MeterErrorText(unsigned code)
{
    switch (code) {
    case VQ7_ERR_BAD_PARAM: return "<<<Ошибочный параметр команды IBM PC>>>";
    case VQ7_ERR_BAD_COMMAND: return "<<<Ошибочная команда IBM PC>>>";
    case VQ7_ERR_BUSY: return "<<<Временная занятость>>>";
    case VQ7_ERR_DZW_READ: return "<<<Ошибка чтения из ДЗВ>>>";
    case VQ7_ERR_RTC_READ: return "<<<Ошибка чтения из RTC>>>";
    case VQ7_ERR_RTC_WRITE: return "<<<Ошибка записи в RTC>>>";
    case VQ7_ERR_EEPROM_READ: return "<<<Ошибка чтения из EEPROM>>>";
    case VQ7_ERR_EEPROM_WRITE: return "<<< Ошибка записи в EEPROM>>>";
    default: return nullptr;
    }
}

const char* WorkstationCodeText(unsigned code)
{
    switch (code) {
    case RC_OK: return "успешно";
    case RC_BAD_ARGUMENT: return "недопустимый аргумент";
    case RC_NO_CONNECTION: return "нет соединения";
    case RC_NOT_OPEN: return "порт или соединение не открыты";
    case RC_BUS_LOCK_FAILED: return "шина занята другой программой";
    case RC_LINK_CREATE_FAILED: return "не удалось создать канал связи";
    case RC_SHORT_WRITE: return "передано меньше байтов, чем требовалось";
    case RC_READ_ERROR: return "ошибка чтения";
    case RC_BUFFER_TOO_SMALL: return "буфер ответа мал";
    case RC_BAD_CHECKSUM: return "неверная контрольная сумма ответа";
    case RC_WRONG_ADDRESS: return "ответ с другого адреса";
    case RC_TIMEOUT: return "нет ответа (тайм-аут)";
    case RC_WRONG_LENGTH: return "неверная длина ответа";
    case RC_ABORTED: return "прервано";
    case RC_GET_STATE_FAILED: return "не удалось прочитать настройки порта";
    case RC_SET_STATE_FAILED: return "не удалось установить настройки порта";
    case RC_SET_MASK_FAILED: return "не удалось установить маску событий порта";
    case RC_READBACK_MISMATCH: return "прочитано не то, что записано";
    case RC_JOURNAL_FAILED: return "журнал записи в счетчики не дополняется";
    default: return nullptr;
    }
}

}  // namespace

bool PrintMeterError(unsigned code, const std::function<void(const std::string&)>& sink)
{
    const char* text = MeterErrorText(code);
    if (text == nullptr)
        return false;
    if (sink)
        sink(std::string("\a\n   ") + text);
    return true;
}

std::string ResultCodeText(unsigned code)
{
    if (const char* text = MeterErrorText(code))
        return text;
    if (code >= 1 && code <= 255)
        return FormatC("ошибка счетчика %u", code);
    if (const char* text = WorkstationCodeText(code))
        return text;
    return FormatC("ошибка %u", code);
}
