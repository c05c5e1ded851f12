-- Wireshark dissectors for the ZARNIK modem family: the control protocol (UDP 40005), the
-- stepper controller behind a modem (UDP 30000) and the voice/text datagrams between stations.
-- Field names match the columns and fields of zarnik-log.

local OPCODES = {
    [0x0000] = "CMD_GET_REPORT", [0x0101] = "CMD_TX_FREQUENCY", [0x0102] = "CMD_RX_FREQUENCY",
    [0x0103] = "CMD_ANTENNA_SEL", [0x0104] = "CMD_DEFAULTS_SET", [0x0105] = "CMD_REBOOT_DEVICE",
    [0x0106] = "CMD_SET_TX_MODE", [0x0107] = "CMD_SWITCH_RETR_MODE_ID",
    [0x0108] = "CMD_SWITCH_RETR_RECV_MODE_ID", [0x010B] = "CMD_UART_CONV_CONFIG",
    [0x010D] = "CMD_SESSION_SECRET", [0x010E] = "CMD_TX_POWER_MODE", [0x010F] = "CMD_SET_HS_CHANNEL_MOD",
    [0x8000] = "REP_UNSUPPORTED", [0x8101] = "REP_TX_FREQUENCY", [0x8102] = "REP_RX_FREQUENCY",
    [0x8103] = "REP_ANTENNA_SEL", [0x8104] = "REP_DEFAULTS_SET", [0x8105] = "REP_REBOOT_DEVICE",
    [0x8106] = "REP_SET_TX_MODE", [0x8107] = "REP_VERSION", [0x8108] = "REP_CONT_STATUS",
    [0x8109] = "REP_PARAMETERS", [0x810A] = "REP_EXTENDED_STATUS", [0x810B] = "REP_UART_CONV_CONFIG",
    [0x810C] = "REP_ID_STATISTIC", [0x810D] = "REP_SESSION_SECRET", [0x810E] = "REP_TX_POWER_MODE",
    [0x810F] = "REP_SET_HS_CHANNEL_MOD",
}

-- Payload length below which a record's fields are not shown.
local RECORD_LENGTH = {
    [0x0000] = 2, [0x0101] = 8, [0x0102] = 8, [0x0103] = 1, [0x0104] = 1156, [0x0105] = 4, [0x0106] = 1,
    [0x0107] = 1, [0x0108] = 1, [0x010B] = 128, [0x010D] = 2, [0x010E] = 1, [0x010F] = 2,
    [0x8000] = 2, [0x8101] = 8, [0x8102] = 8, [0x8103] = 1, [0x8104] = 1156, [0x8105] = 4, [0x8106] = 1,
    [0x8107] = 12, [0x8108] = 29, [0x8109] = 1024, [0x810A] = 136, [0x810B] = 128, [0x810C] = 16,
    [0x810D] = 2, [0x810E] = 1, [0x810F] = 2,
}

local function opcode_name(value)
    return OPCODES[value] or string.format("0x%04x", value)
end

local SERVICES = {
    [0xDDDDDDDD] = "reboot", [0xCCCCCCCC] = "disconnect", [0xFF000001] = "setup-fn1",
    [0xFF000002] = "setup-fn2", [0xFF000003] = "setup-fn3", [0xFF000200] = "setup-hw2", [0xFF000300] = "setup-hw3",
}

local zarnik = Proto("zarnik", "ZARNIK modem control")
local prefs_port = 40005
zarnik.prefs.port = Pref.uint("UDP port", prefs_port, "UDP port of the modem control protocol")

local F = {}
local function add(name, field) F[name] = field end
local function u8(name, desc, b) add(name, ProtoField.uint8("zarnik." .. name, desc, b or base.DEC)) end
local function u16(name, desc, b) add(name, ProtoField.uint16("zarnik." .. name, desc, b or base.DEC)) end
local function u32(name, desc, b) add(name, ProtoField.uint32("zarnik." .. name, desc, b or base.DEC)) end
local function u64(name, desc) add(name, ProtoField.uint64("zarnik." .. name, desc, base.DEC)) end
local function i8(name, desc) add(name, ProtoField.int8("zarnik." .. name, desc, base.DEC)) end
local function i16(name, desc) add(name, ProtoField.int16("zarnik." .. name, desc, base.DEC)) end
local function i32(name, desc) add(name, ProtoField.int32("zarnik." .. name, desc, base.DEC)) end
local function str(name, desc) add(name, ProtoField.string("zarnik." .. name, desc)) end
local function ip(name, desc) add(name, ProtoField.ipv4("zarnik." .. name, desc)) end

u16("signature", "Signature", base.HEX)
u16("seqnum", "Sequence number")
u16("opcode", "Opcode", base.HEX)
str("opcode_name", "Opcode name")
u16("length", "Payload length")
str("report", "Report asked for")
str("unsupported", "Unsupported opcode")
u64("frequency", "Frequency, Hz")
u8("antenna", "Antenna (0 sector, 1 omnidirectional)")
u8("tx_off", "Transmitter off")
u8("tx_power", "Transmit power, %")
u16("hs_modulation", "High-speed modulation (0 FM2, 1 FM4)")
u8("relay_id", "Relay identifier")
u32("service.code", "Service code", base.HEX)
str("service", "Service")
ip("service.address", "Modem to reset")
u16("version.major", "Major version")
u8("version.minor", "Minor version")
u8("version.revision", "Revision")
u32("version.build", "Build", base.HEX)
u8("version.hardware", "Hardware code", base.HEX)
u8("version.function", "Function code", base.HEX)
for _, n in ipairs({"opmode", "sync", "rssi"}) do u8("status." .. n, "Status " .. n) end
i8("status.temp1", "Temperature 1")
i8("status.temp2", "Temperature 2")
for _, n in ipairs({"received", "errors", "lost", "sent"}) do u16("status." .. n, "Packets " .. n) end
i32("status.rx_bits", "Receive bit rate")
i32("status.tx_bits", "Transmit bit rate")
for _, n in ipairs({"mode", "role", "spreading", "modulation"}) do u8("ext." .. n, "Extended " .. n) end
u8("ext.flags", "Flags", base.HEX)
u8("ext.antenna", "Antenna")
u8("ext.tx_power", "Transmit power, %")
u16("ext.rssi", "RSSI magnitude, 0.01 dB")
i16("ext.temp1", "Temperature 1 x100")
i16("ext.temp2", "Temperature 2 x100")
for _, n in ipairs({"received", "errors", "lost", "sent"}) do u16("ext." .. n, "Packets " .. n) end
i32("ext.rx_bits", "Receive bit rate")
i32("ext.tx_bits", "Transmit bit rate")
i32("ext.tx_dropped_bits", "Dropped transmit bit rate")
u8("idstat.count", "Entries")
u8("idstat.own_index", "Own entry")
u8("idstat.identifier", "Identifier")
u16("idstat.rssi", "RSSI")
u32("idstat.range", "Range")
u16("idstat.rx_first", "First receive count")
u16("idstat.rx_second", "Second receive count")
u32("idstat.further", "Further count")
u64("params.lowest", "Lowest channel, Hz")
u64("params.highest", "Highest channel, Hz")
u32("params.step", "Channel step, Hz")
u8("defaults.opmode", "Mode byte")
u64("defaults.rx_frequency", "Receive frequency, Hz")
u64("defaults.tx_frequency", "Transmit frequency, Hz")
ip("defaults.ip_addr", "Modem address")
u8("defaults.prefix", "Network prefix")
u8("defaults.local_status", "Local status")
ip("defaults.gateway", "Gateway")
u16("defaults.control_port", "Control port")
for _, s in ipairs({"socket", "remote"}) do
    u16("defaults." .. s .. ".self_port", "Own port")
    ip("defaults." .. s .. ".dest_addr", "Destination address")
    u16("defaults." .. s .. ".dest_port", "Destination port")
end
u8("defaults.tap_mode", "TAP mode")
u8("defaults.antenna_sel", "Antenna")
u8("defaults.tx_mute", "Transmitter off")
u8("defaults.tx_power_mode", "Transmit power, %")
str("defaults.gst_fm2", "Video pipeline FM2")
str("defaults.gst_fm4", "Video pipeline FM4")
u8("conv.enabled", "Converter on")
u32("conv.baudrate", "Baud rate")
u16("conv.self_port", "Own port")
ip("conv.dest_addr", "Destination address")
u16("conv.dest_port", "Destination port")
u16("secret.length", "Secret length")
u8("secret.save", "Keep permanently")

local field_list = {}
for _, f in pairs(F) do table.insert(field_list, f) end
zarnik.fields = field_list

local ex_short = ProtoExpert.new("zarnik.short", "Payload shorter than its record", expert.group.MALFORMED, expert.severity.NOTE)
zarnik.experts = { ex_short }

-- Text up to the first NUL within the field.
local function cstring(range)
    local bytes = range:bytes()
    local n = 0
    while n < bytes:len() and bytes:get_index(n) ~= 0 do n = n + 1 end
    if n == 0 then return "" end
    return range:range(0, n):string(ENC_UTF_8)
end

local function sockets(t, p, at, kind)
    for i = 0, 4 do t:add_le(F["defaults." .. kind .. ".self_port"], p(at + 8 * i, 2)) end
    for i = 0, 4 do t:add(F["defaults." .. kind .. ".dest_addr"], p(at + 8 * i + 4, 4)) end
    for i = 0, 4 do t:add_le(F["defaults." .. kind .. ".dest_port"], p(at + 8 * i + 2, 2)) end
end

local decoders = {}
decoders[0x0000] = function(t, p) t:add(F.report, p(0, 2), opcode_name(p(0, 2):le_uint())) end
decoders[0x8000] = function(t, p) t:add(F.unsupported, p(0, 2), opcode_name(p(0, 2):le_uint())) end
for _, op in ipairs({0x0101, 0x0102, 0x8101, 0x8102}) do
    decoders[op] = function(t, p) t:add_le(F.frequency, p(0, 8)) end
end
for _, op in ipairs({0x0103, 0x8103}) do decoders[op] = function(t, p) t:add(F.antenna, p(0, 1)) end end
for _, op in ipairs({0x0106, 0x8106}) do decoders[op] = function(t, p) t:add(F.tx_off, p(0, 1)) end end
for _, op in ipairs({0x010E, 0x810E}) do decoders[op] = function(t, p) t:add(F.tx_power, p(0, 1)) end end
for _, op in ipairs({0x010F, 0x810F}) do decoders[op] = function(t, p) t:add_le(F.hs_modulation, p(0, 2)) end end
for _, op in ipairs({0x0107, 0x0108}) do decoders[op] = function(t, p) t:add(F.relay_id, p(0, 1)) end end
decoders[0x0105] = function(t, p)
    local code = p(0, 4):le_uint()
    t:add_le(F["service.code"], p(0, 4))
    if SERVICES[code] then
        t:add(F.service, p(0, 4), SERVICES[code])
    else
        t:add(F.service, p(0, 4), "reset")
        t:add(F["service.address"], p(0, 4))
    end
end
decoders[0x8105] = function(t, p) t:add_le(F["service.code"], p(0, 4)) end
decoders[0x8107] = function(t, p)
    t:add_le(F["version.major"], p(0, 2))
    t:add(F["version.minor"], p(2, 1))
    t:add(F["version.revision"], p(3, 1))
    t:add_le(F["version.build"], p(4, 4))
    t:add(F["version.hardware"], p(8, 1))
    t:add(F["version.function"], p(9, 1))
end
decoders[0x8108] = function(t, p)
    t:add(F["status.opmode"], p(0, 1))
    t:add(F["status.sync"], p(1, 1))
    t:add(F["status.rssi"], p(2, 1))
    t:add(F["status.temp1"], p(3, 1))
    t:add(F["status.temp2"], p(4, 1))
    t:add_le(F["status.received"], p(5, 2))
    t:add_le(F["status.errors"], p(7, 2))
    t:add_le(F["status.lost"], p(9, 2))
    t:add_le(F["status.sent"], p(11, 2))
    t:add_le(F["status.rx_bits"], p(13, 4))
    t:add_le(F["status.tx_bits"], p(21, 4))
end
decoders[0x810A] = function(t, p)
    local at = { mode = 0, role = 1, spreading = 2, modulation = 3, flags = 4, antenna = 8, tx_power = 9 }
    for _, n in ipairs({"mode", "role", "spreading", "modulation", "flags", "antenna", "tx_power"}) do
        t:add(F["ext." .. n], p(at[n], 1))
    end
    t:add_le(F["ext.rssi"], p(16, 2))
    t:add_le(F["ext.temp1"], p(24, 2))
    t:add_le(F["ext.temp2"], p(26, 2))
    t:add_le(F["ext.received"], p(48, 2))
    t:add_le(F["ext.errors"], p(50, 2))
    t:add_le(F["ext.lost"], p(52, 2))
    t:add_le(F["ext.sent"], p(54, 2))
    t:add_le(F["ext.rx_bits"], p(56, 4))
    t:add_le(F["ext.tx_bits"], p(64, 4))
    t:add_le(F["ext.tx_dropped_bits"], p(72, 4))
end
decoders[0x810C] = function(t, p)
    local count = p(0, 1):uint()
    t:add(F["idstat.count"], p(0, 1))
    t:add(F["idstat.own_index"], p(1, 1))
    -- Entries the report announces but does not hold are not shown.
    local held = math.min(count, math.floor((p:len() - 16) / 20))
    local columns = {
        {"identifier", 0, 1}, {"rssi", 4, 2}, {"range", 8, 4}, {"rx_first", 12, 2}, {"rx_second", 14, 2}, {"further", 16, 4},
    }
    for _, c in ipairs(columns) do
        for i = 0, held - 1 do
            local r = p(16 + 20 * i + c[2], c[3])
            if c[1] == "identifier" then
                t:add(F["idstat.identifier"], r, bit.band(r:uint(), 0x0F))
            else
                t:add_le(F["idstat." .. c[1]], r)
            end
        end
    end
end
decoders[0x8109] = function(t, p)
    t:add_le(F["params.lowest"], p(0, 8))
    t:add_le(F["params.highest"], p(8, 8))
    t:add_le(F["params.step"], p(16, 4))
end
local function defaults(t, p)
    t:add(F["defaults.opmode"], p(0, 1))
    t:add_le(F["defaults.rx_frequency"], p(1, 8))
    t:add_le(F["defaults.tx_frequency"], p(9, 8))
    t:add(F["defaults.ip_addr"], p(17, 4))
    t:add(F["defaults.prefix"], p(21, 1), bit.band(p(21, 1):uint(), 0x7F))
    t:add(F["defaults.local_status"], p(21, 1), bit.rshift(p(21, 1):uint(), 7))
    t:add(F["defaults.gateway"], p(22, 4))
    t:add_le(F["defaults.control_port"], p(26, 2))
    sockets(t, p, 40, "socket")
    sockets(t, p, 88, "remote")
    local flags = p(128, 4):le_uint()
    t:add(F["defaults.tap_mode"], p(128, 4), bit.band(flags, 3))
    t:add(F["defaults.antenna_sel"], p(128, 4), bit.band(bit.rshift(flags, 2), 1))
    t:add(F["defaults.tx_mute"], p(128, 4), bit.band(bit.rshift(flags, 3), 1))
    t:add(F["defaults.tx_power_mode"], p(128, 4), bit.band(bit.rshift(flags, 4), 0xFF))
    t:add(F["defaults.gst_fm2"], p(132, 512), cstring(p(132, 512)))
    t:add(F["defaults.gst_fm4"], p(644, 512), cstring(p(644, 512)))
end
decoders[0x0104] = defaults
decoders[0x8104] = defaults
local function converters(t, p)
    for i = 0, 3 do t:add(F["conv.enabled"], p(12 * i, 1), bit.band(p(12 * i, 1):uint(), 1)) end
    for i = 0, 3 do t:add(F["conv.baudrate"], p(12 * i + 1, 3), p(12 * i + 1, 3):le_uint()) end
    for i = 0, 3 do t:add_le(F["conv.self_port"], p(12 * i + 4, 2)) end
    for i = 0, 3 do t:add(F["conv.dest_addr"], p(12 * i + 8, 4)) end
    for i = 0, 3 do t:add_le(F["conv.dest_port"], p(12 * i + 6, 2)) end
end
decoders[0x010B] = converters
decoders[0x810B] = converters
local function secret(t, p)
    local word = p(0, 2):le_uint()
    t:add(F["secret.length"], p(0, 2), math.min(bit.band(word, 0x0FFF), p:len() - 2))
    t:add(F["secret.save"], p(0, 2), bit.rshift(word, 15))
end
decoders[0x010D] = secret
decoders[0x810D] = secret

function zarnik.dissector(buffer, pinfo, tree)
    if buffer:len() < 2 or buffer(0, 2):le_uint() ~= 0xFF01 then return 0 end
    pinfo.cols.protocol = "ZARNIK"
    local t = tree:add(zarnik, buffer(), "ZARNIK modem control")
    t:add_le(F.signature, buffer(0, 2))
    if buffer:len() < 6 then
        pinfo.cols.info = "Short frame"
        return buffer:len()
    end
    local opcode = buffer(4, 2):le_uint()
    local name = opcode_name(opcode)
    t:add_le(F.seqnum, buffer(2, 2))
    t:add_le(F.opcode, buffer(4, 2))
    t:add(F.opcode_name, buffer(4, 2), name)
    local length = buffer:len() - 6
    t:add(F.length, length)
    pinfo.cols.info = string.format("%s seq=%d len=%d", name, buffer(2, 2):le_uint(), length)
    local decode = decoders[opcode]
    if decode and length > 0 and length >= RECORD_LENGTH[opcode] then
        decode(t, buffer(6, length):tvb())
    elseif decode then
        t:add_proto_expert_info(ex_short)
    end
    return buffer:len()
end

-- Stepper controller behind a modem's converter: one command byte, a 7-bit data byte, a
-- variable read request, or the variables that answer it.
local tic = Proto("zarnik_tic", "ZARNIK stepper controller")
local TIC_COMMANDS = {
    [0xEC] = "halt and set position", [0x83] = "exit safe start", [0xE0] = "set target position",
    [0x8C] = "reset command timeout", [0xA1] = "get variable",
}
local tic_command = ProtoField.uint8("zarnik_tic.command", "Command", base.HEX, TIC_COMMANDS)
local tic_data = ProtoField.uint8("zarnik_tic.data", "Data byte (7 bits)", base.HEX)
local tic_offset = ProtoField.uint8("zarnik_tic.offset", "Variable offset", base.HEX)
local tic_length = ProtoField.uint8("zarnik_tic.length", "Variable length")
local tic_position = ProtoField.int32("zarnik_tic.position", "Position, steps")
local tic_variables = ProtoField.bytes("zarnik_tic.variables", "Variables")
tic.fields = { tic_command, tic_data, tic_offset, tic_length, tic_position, tic_variables }
tic.prefs.port = Pref.uint("UDP port", 30000, "UDP port of the stepper controller")

function tic.dissector(buffer, pinfo, tree)
    pinfo.cols.protocol = "ZARNIK-TIC"
    local t = tree:add(tic, buffer())
    local n = buffer:len()
    local first = n > 0 and buffer(0, 1):uint() or 0
    if n == 1 and first >= 0x80 then
        t:add(tic_command, buffer(0, 1))
        pinfo.cols.info = TIC_COMMANDS[first] or string.format("command 0x%02x", first)
    elseif n == 1 then
        t:add(tic_data, buffer(0, 1))
        pinfo.cols.info = string.format("data 0x%02x", first)
    elseif n == 3 and first >= 0x80 then
        local b1, b2 = buffer(1, 1):uint(), buffer(2, 1):uint()
        t:add(tic_command, buffer(0, 1))
        t:add(tic_offset, buffer(1, 2), bit.bor(b1, bit.lshift(bit.band(b2, 0x40), 1)))
        t:add(tic_length, buffer(2, 1), bit.band(b2, 0x3F))
        pinfo.cols.info = string.format("read %d bytes at 0x%02x", bit.band(b2, 0x3F), bit.bor(b1, bit.lshift(bit.band(b2, 0x40), 1)))
    elseif n == 4 then
        t:add_le(tic_position, buffer(0, 4))
        pinfo.cols.info = string.format("position %d", buffer(0, 4):le_int())
    elseif n > 0 then
        t:add(tic_variables, buffer())
        pinfo.cols.info = string.format("%d bytes of variables", n)
    end
    return n
end

-- Voice and text between two stations: a header byte (type, sender's Speex quality) and a body.
local voice = Proto("zarnik_voice", "ZARNIK voice and text")
local VOICE_TYPES = { [0] = "voice", [1] = "text" }
local voice_type = ProtoField.uint8("zarnik_voice.type", "Type", base.DEC, VOICE_TYPES, 0x07)
local voice_quality = ProtoField.uint8("zarnik_voice.quality", "Speex quality", base.DEC, nil, 0xF8)
local voice_frame = ProtoField.bytes("zarnik_voice.frame", "Speex frame")
local voice_text = ProtoField.string("zarnik_voice.text", "Text")
voice.fields = { voice_type, voice_quality, voice_frame, voice_text }
voice.prefs.ports = Pref.range("UDP ports", "10001-10005", "UDP ports of the modem sockets that carry voice", 65535)

function voice.dissector(buffer, pinfo, tree)
    if buffer:len() < 1 then return 0 end
    pinfo.cols.protocol = "ZARNIK-VOICE"
    local t = tree:add(voice, buffer())
    local header = buffer(0, 1):uint()
    local kind = bit.band(header, 7)
    t:add(voice_type, buffer(0, 1))
    t:add(voice_quality, buffer(0, 1))
    if buffer:len() > 1 then
        if kind == 1 then
            t:add(voice_text, buffer(1), cstring(buffer(1)))
        else
            t:add(voice_frame, buffer(1))
        end
    end
    pinfo.cols.info = string.format("%s, quality %d, %d bytes", VOICE_TYPES[kind] or "unknown type",
        bit.rshift(header, 3), buffer:len() - 1)
    return buffer:len()
end

local udp_port = DissectorTable.get("udp.port")
local registered = { zarnik = nil, tic = nil, voice = nil }

local function register()
    if registered.zarnik then udp_port:remove(registered.zarnik, zarnik) end
    if registered.tic then udp_port:remove(registered.tic, tic) end
    if registered.voice then udp_port:remove(registered.voice, voice) end
    registered.zarnik = zarnik.prefs.port
    registered.tic = tic.prefs.port
    registered.voice = voice.prefs.ports
    udp_port:add(registered.zarnik, zarnik)
    udp_port:add(registered.tic, tic)
    udp_port:add(registered.voice, voice)
end

zarnik.prefs_changed = register
tic.prefs_changed = register
voice.prefs_changed = register
register()
