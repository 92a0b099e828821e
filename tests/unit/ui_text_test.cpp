// The text table: every text in every language, Windows-1252 throughout, the Dutch ones as they
// were, accelerators that do not clash within a dialog, and the language key and the text_ keys
// choosing what the installer, /X and the uninstaller show.
#include "platform/posix/platform_posix_ui.h"
#include "resource_ids.h"
#include "script/script.h"
#include "script/ui_text.h"
#include "state/installer_state.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const ui_text_row *const PARTS[] = {ui_text_setup, ui_text_uninstaller};
const char *const LANGUAGE_NAMES[UI_LANGUAGES] = {"nl", "en", "de", "fr"};

int count_of(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// The text of key for a script (prepared as the installer prepares it).
std::string text_for(const ui_text_row *part, const std::string &script, uint32_t key,
                     int *set = nullptr) {
    std::unique_ptr<installer_state> state(new installer_state());
    EXPECT_EQ(load_script_text(state.get(), script.data(), script.size()), 1);
    char out[SCRIPT_EXPAND_CAPACITY];
    int given = ui_text(part, state->script_text, key, out, sizeof out);
    if (set) *set = given;
    release_script(state.get());
    return out;
}

} // namespace

TEST(TextTable, EveryTextHasEveryLanguageAndEveryTextKeyItsRow) {
    std::set<uint32_t> keys;
    for (const ui_text_row *part : PARTS) {
        for (const ui_text_row *row = part; row->key; row++) {
            const char *word = keyword_word(row->key);
            ASSERT_NE(word, nullptr) << std::hex << row->key;
            SCOPED_TRACE(word);
            EXPECT_EQ(std::string(word).rfind("text_", 0), 0u);
            EXPECT_TRUE(keys.insert(row->key).second) << "a second row";
            for (int language = 0; language < UI_LANGUAGES; language++) {
                const char *text = row->text[language];
                ASSERT_NE(text, nullptr) << LANGUAGE_NAMES[language];
                EXPECT_NE(text[0], 0) << LANGUAGE_NAMES[language];
                // Each language fills the same places: a missing %s drops a name or a path.
                EXPECT_EQ(count_of(text, "%s"), count_of(row->text[0], "%s"))
                    << LANGUAGE_NAMES[language] << ": " << text;
                EXPECT_EQ(count_of(text, "%"), count_of(text, "%s")) << text;
                // UTF-8, as every text inside: no Windows-1252 byte slipped in.
                EXPECT_EQ(script_encoding(text, strlen(text), nullptr), SCRIPT_ENCODING_UTF8)
                    << LANGUAGE_NAMES[language] << ": " << text;
            }
        }
    }
    // Every text key has its row: the texts that had no key before have one now.
    for (int i = 0; i < KEYWORD_ROWS; i++) {
        const std::string word = keyword_table[i].word;
        const size_t rows = word.rfind("text_", 0) == 0 ? 1 : 0;
        EXPECT_EQ(keys.count(keyword_table[i].id), rows) << word;
    }
    EXPECT_EQ(keys.size(), 98u); // the 22 text keys of before and 76 new ones
}

TEST(TextTable, DutchTextsAreTheOnesShownBefore) {
    // The built-in texts of the keyword table and the template texts the Dutch column replaces.
    const struct {
        uint32_t key;
        const char *dutch;
    } cases[] = {
        {KW_TEXT_CANCEL, "Annuleren"},
        {KW_TEXT_PREV, "&<  Vorige"},
        {KW_TEXT_NEXT, "Volgende  &>"},
        {KW_TEXT_FINISH, "Voltooien"},
        {KW_TEXT_STARTINSTALL, "&Start installatie"},
        {KW_TEXT_CLOSE, "Sluiten"},
        {KW_TEXT_INS_COMPLETE, "Installatie voltooid"},
        {KW_TEXT_ABORT, "Installatie afbreken ?"},
        {KW_TEXT_PICKFOLDER, "Kies de map waarin het programma geinstalleerd dient te worden"},
        {KW_TEXT_INSERROR, "Fout tijdens installatie"},
        {KW_TEXT_ERROR2, "Fout tijdens '%s'"},
        {KW_TEXT_INSCONTINUES, "De installatie wordt voortgezet"},
        {KW_TEXT_FILEEXISTS, "Dit bestand bestaat al. Wilt u het bestand overschrijven ?"},
        {KW_TEXT_YES, "&Ja"},
        {KW_TEXT_YESTOALL, "Ja op &alles"},
        {KW_TEXT_NO, "&Nee"},
        {KW_TEXT_NOTOALL, "N&ee op alles"},
        {KW_TEXT_FILEEXISTS_TITLE, "Installatie"},
        {KW_TEXT_X_TITLE, "Korvex - Bestanden uitpakken"},
        {KW_TEXT_X_SELECTALL, "Alles selecteren"},
        {KW_TEXT_X_FOLDER, "Naar map:"},
    };
    for (auto &c : cases)
        EXPECT_STREQ(ui_text_builtin(ui_text_setup, c.key, UI_LANGUAGE_NL), c.dutch)
            << keyword_word(c.key);
    // The wizard template's own texts (as the POSIX backend holds template 101).
    const struct {
        uint32_t key;
        int item;
    } template_texts[] = {
        {KW_TEXT_BROWSE, IDC_BROWSE},           {KW_TEXT_AGREE, IDC_AGREE},
        {KW_TEXT_DISAGREE, IDC_DISAGREE},       {KW_TEXT_FINISHED, IDC_DONE_TEXT},
        {KW_TEXT_PROGRESS, IDC_PROGRESS_GROUP}, {KW_TEXT_STATUS, IDC_STATUS_LINE}};
    platform_ui_reset();
    platform_ui_open_wizard();
    for (auto &t : template_texts)
        EXPECT_STREQ(ui_text_builtin(ui_text_setup, t.key, UI_LANGUAGE_NL),
                     platform_ui_text(t.item))
            << keyword_word(t.key);
    platform_ui_reset();
}

TEST(TextTable, AcceleratorsDoNotClashWithinADialog) {
    // The texts each dialog shows; the wizard's Back and Next buttons take one of theirs at a
    // time, but every one of them must differ from the others all the same.
    const std::map<std::string, std::vector<uint32_t>> dialogs = {
        {"wizard",
         {KW_TEXT_PREV, KW_TEXT_CANCEL, KW_TEXT_NEXT, KW_TEXT_STARTINSTALL, KW_TEXT_CLOSE,
          KW_TEXT_FINISH, KW_TEXT_BROWSE, KW_TEXT_AGREE, KW_TEXT_DISAGREE}},
        {"overwrite", {KW_TEXT_YES, KW_TEXT_YESTOALL, KW_TEXT_NO, KW_TEXT_NOTOALL}},
        {"extract", {KW_TEXT_X_SELECTALL, KW_TEXT_X_FOLDER, KW_TEXT_OK, KW_TEXT_CANCEL}},
    };
    for (int language = 0; language < UI_LANGUAGES; language++) {
        for (auto &dialog : dialogs) {
            SCOPED_TRACE(std::string(LANGUAGE_NAMES[language]) + " " + dialog.first);
            std::map<char, std::string> taken;
            for (uint32_t key : dialog.second) {
                const std::string text = ui_text_builtin(ui_text_setup, key, language);
                const size_t amp = text.find('&');
                if (amp == std::string::npos) continue;
                ASSERT_LT(amp + 1, text.size()) << text;
                EXPECT_EQ(text.find('&', amp + 1), std::string::npos) << "two in " << text;
                const char letter = (char)tolower((unsigned char)text[amp + 1]);
                EXPECT_TRUE(taken.emplace(letter, text).second)
                    << "'" << letter << "' of " << text << " and of " << taken[letter];
            }
        }
    }
    for (int language = 0; language < UI_LANGUAGES; language++)
        EXPECT_EQ(count_of(ui_text_builtin(ui_text_uninstaller, KW_TEXT_UN_CLOSE, language), "&"),
                  1);
}

TEST(TextTable, LanguageKeyChoosesTheColumnAndTextKeysOverride) {
    const struct {
        const char *script;
        const ui_text_row *part;
        uint32_t key;
        const char *text;
        int set; // the script's own text
    } cases[] = {
        {"", ui_text_setup, KW_TEXT_NEXT, "Volgende  &>", 0},
        {"language=en\n", ui_text_setup, KW_TEXT_NEXT, "&Next >", 0},
        {"language = \"DE\"\n", ui_text_setup, KW_TEXT_NEXT, "&Weiter >", 0},
        {"language=French\n", ui_text_setup, KW_TEXT_NEXT, "&Suivant >", 0},
        {"language=deutsch\n", ui_text_setup, KW_TEXT_CLOSE,
         "Schließ"
         "en",
         0},
        {"language=english\n", ui_text_setup, KW_TEXT_X_CREATE_FOLDER,
         "The folder does not exist. Create it?", 0},
        {"language=nl\n", ui_text_setup, KW_TEXT_ABORT, "Installatie afbreken ?", 0},
        {"language=klingon\n", ui_text_setup, KW_TEXT_ABORT, "Installatie afbreken ?", 0},
        {"language=en\ntext_next=\"Onward\"\n", ui_text_setup, KW_TEXT_NEXT, "Onward", 1},
        {"text_next=\"Onward\"\nlanguage=fr\n", ui_text_setup, KW_TEXT_CANCEL, "Annuler", 0},
        {"language=fr\ntext_x_done=\"C'est fait\"\n", ui_text_setup, KW_TEXT_X_DONE, "C'est fait",
         1},
        {"language=en\n", ui_text_uninstaller, KW_TEXT_UN_QUESTION, "Do you want to uninstall %s?",
         0},
        {"language=de\n", ui_text_uninstaller, KW_TEXT_UN_CLOSE,
         "&Schließ"
         "en",
         0},
        {"language=fr\ntext_un_title=\"Retirer\"\n", ui_text_uninstaller, KW_TEXT_UN_TITLE,
         "Retirer", 1},
        // A key of the other part has no built-in text here.
        {"language=en\n", ui_text_uninstaller, KW_TEXT_NEXT, "", 0},
    };
    for (auto &c : cases) {
        int set = -1;
        EXPECT_EQ(text_for(c.part, c.script, c.key, &set), c.text) << c.script;
        EXPECT_EQ(set, c.set) << c.script;
    }
    // script_text is the installer's lookup: the same, through the state.
    std::unique_ptr<installer_state> state(new installer_state());
    const std::string script = "language=de\n";
    ASSERT_EQ(load_script_text(state.get(), script.data(), script.size()), 1);
    char out[64];
    EXPECT_EQ(script_text(state.get(), KW_TEXT_PREV, out, sizeof out), 0);
    EXPECT_STREQ(out, "< &Zurü"
                      "ck");
    release_script(state.get());
    EXPECT_EQ(script_text(nullptr, KW_TEXT_PREV, out, sizeof out), 0);
    EXPECT_STREQ(out, "&<  Vorige");
}
