#include "app/strings.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

namespace {

struct StringEntry {
    unsigned id;
    const char* text;
};

// Sorted by id.
constexpr StringEntry STRING_TABLE[] = {
    {101, "&About the Corvane MP3 Encoder..."},
    {131, "Double-click on the icon to open the program"},
    {33000, "Files"},
    {33001, "Directory"},
    {33002, "Size"},
    {33003, "Status"},
    {33004, "Not Done"},
    {33005, "Encoding"},
    {33006, "Completed"},
    {33007, "A Corvane MP3 Encoder"},
    {33008, "Encoding files. Total Time Remaining: %s"},
    {33009, "Encoding Paused"},
    {33010, "Select Target Directory"},
    {33011, "Select Source Directory"},
    {33012, "Stereo"},
    {33013, "Mono"},
    {33014, "Codec: %s with %s"},
    {33015, "Pause"},
    {33016, "Resume"},
    {33017, "Paused"},
    {33018, "Encoding files"},
    {33019, "The From directory needs to be different from the To directory when you choose not "
            "to rename the wave file to a .mp3 extension."},
    {33020, "Error"},
    {33021, "You can't remove the file while it is encoding."},
    {33022, "%02d:%02d:%02d  (%d%%)"},
    {33023, "Encoding File %d of %d:"},
    {33024, "Encoding: %d%% Complete"},
    {33025, "Unknown"},
    {33026, "%d Machines Logged In"},
    {33027, "1 Machine Logged In"},
    {33028, "Logged into server"},
    {33029, "Not logged into server"},
    {33030, "No machines logged in"},
    {33031, "Encoding Machine"},
    {33032, "You need to share your drive so that other workstations can encode from your drive."},
    {33033, "\\%s did not respond to the encoding request."},
    {33035, "\\%s does not have the required codec installed to encode files."},
    {33036, "\\%s does not have read access to the volume where the source files are."},
    {33037, "\\%s does not have write access to the volume where the encoded files will go."},
    {33038, "%d%% Complete:"},
    {33039, "There is not enough disk space to contain all of the encoded files.\n"
            "This may be okay, especially if you are deleting the wav files as you encode.\n\n"
            "Do you want to begin encoding anyway?"},
    {33040, "File %s was rejected because it is not a valid wave file."},
    {33041, "Version"},
    {33045, "Blues"},
    {33046, "Classic Rock"},
    {33047, "Country"},
    {33048, "Dance"},
    {33049, "Disco"},
    {33050, "Funk"},
    {33051, "Grunge"},
    {33052, "Hip-Hop"},
    {33053, "Jazz"},
    {33054, "Metal"},
    {33055, "New Age"},
    {33056, "Oldies"},
    {33057, "Other"},
    {33058, "Pop"},
    {33059, "R&B"},
    {33060, "Rap"},
    {33061, "Reggae"},
    {33062, "Rock"},
    {33063, "Techno"},
    {33064, "Industrial"},
    {33065, "Alternative"},
    {33066, "Ska"},
    {33067, "Death Metal"},
    {33068, "Pranks"},
    {33069, "Soundtrack"},
    {33070, "Euro-Techno"},
    {33071, "Ambient"},
    {33072, "Trip-Hop"},
    {33073, "Vocal"},
    {33074, "Jazz+Funk"},
    {33075, "Fusion"},
    {33076, "Trance"},
    {33077, "Classical"},
    {33078, "Instrumental"},
    {33079, "Acid"},
    {33080, "House"},
    {33081, "Game"},
    {33082, "Sound Clip"},
    {33083, "Gospel"},
    {33084, "Noise"},
    {33085, "AlternRock"},
    {33086, "Bass"},
    {33087, "Soul"},
    {33088, "Punk"},
    {33089, "Space"},
    {33090, "Meditative"},
    {33091, "Instrumental Pop"},
    {33092, "Instrumental Rock"},
    {33093, "Ethnic"},
    {33094, "Gothic"},
    {33095, "Darkwave"},
    {33096, "Techno-Industrial"},
    {33097, "Electronic"},
    {33098, "Pop-Folk"},
    {33099, "Eurodance"},
    {33100, "Dream"},
    {33101, "Southern Rock"},
    {33102, "Comedy"},
    {33103, "Cult"},
    {33104, "Gangsta"},
    {33105, "Top 40"},
    {33106, "Christian Rap"},
    {33107, "Pop/Funk"},
    {33108, "Jungle"},
    {33109, "Native American"},
    {33110, "Cabaret"},
    {33111, "New Wave"},
    {33112, "Psychadelic"},
    {33113, "Rave"},
    {33114, "Showtunes"},
    {33115, "Trailer"},
    {33116, "Lo-Fi"},
    {33117, "Tribal"},
    {33118, "Acid Punk"},
    {33119, "Acid Jazz"},
    {33120, "Polka"},
    {33121, "Retro"},
    {33122, "Musical"},
    {33123, "Rock & Roll"},
    {33124, "Hard Rock"},
    {33125, "Folk"},
    {33126, "Folk-Rock"},
    {33127, "National Folk"},
    {33128, "Swing"},
    {33129, "Fast Fusion"},
    {33130, "Bebob"},
    {33131, "Latin"},
    {33132, "Revival"},
    {33133, "Celtic"},
    {33134, "Bluegrass"},
    {33135, "Avantgarde"},
    {33136, "Gothic Rock"},
    {33137, "Progressive Rock"},
    {33138, "Psychedelic Rock"},
    {33139, "Symphonic Rock"},
    {33140, "Slow Rock"},
    {33141, "Big Band"},
    {33142, "Chorus"},
    {33143, "Easy Listening"},
    {33144, "Acoustic"},
    {33145, "Humour"},
    {33146, "Speech"},
    {33147, "Chanson"},
    {33148, "Opera"},
    {33149, "Chamber Music"},
    {33150, "Sonata"},
    {33151, "Symphony"},
    {33152, "Booty Bass"},
    {33153, "Primus"},
    {33154, "Porn Groove"},
    {33155, "Satire"},
    {33156, "Slow Jam"},
    {33157, "Club"},
    {33158, "Tango"},
    {33159, "Samba"},
    {33160, "Folklore"},
    {33161, "Ballad"},
    {33162, "Power Ballad"},
    {33163, "Rhythmic Soul"},
    {33164, "Freestyle"},
    {33165, "Duet"},
    {33166, "Punk Rock"},
    {33167, "Drum Solo"},
    {33168, "Acapella"},
    {33169, "Euro-House"},
    {33170, "Dance Hall"},
    {33172, "Encoding File:"},
    {33173, "Encoding File for Server:"},
};

constexpr std::size_t LOADER_BUFFER_SIZE = 512;

const char* CopyInto(std::array<char, LOADER_BUFFER_SIZE>& buffer, unsigned id) {
    const char* text = FindResString(id);
    // Cut at the buffer's size, as a fixed buffer would.
    std::strncpy(buffer.data(), text, buffer.size() - 1);
    buffer.back() = '\0';
    return buffer.data();
}

} // namespace

const char* FindResString(unsigned id) {
    const auto* end = std::end(STRING_TABLE);
    const auto* found =
        std::lower_bound(std::begin(STRING_TABLE), end, id,
                         [](const StringEntry& e, unsigned key) { return e.id < key; });
    return (found != end && found->id == id) ? found->text : "";
}

QString ResString(unsigned id) {
    return QString::fromUtf8(FindResString(id));
}

const char* LoadResString(unsigned id) {
    static std::array<char, LOADER_BUFFER_SIZE> firstBuffer{};
    return CopyInto(firstBuffer, id);
}

const char* LoadResString2(unsigned id) {
    static std::array<char, LOADER_BUFFER_SIZE> secondBuffer{};
    return CopyInto(secondBuffer, id);
}
