#pragma once

namespace vantrell::ui {

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;

// How the windows reach each other. main() (or a test) owns one Windows value, creates the
// eight windows in order (TForm1 first), passing each a reference to it, and fills in each
// pointer right after creating that window. Every window lives for the whole run, so a
// pointer stays valid once set; a window may only use another window's pointer after
// construction (in handlers), never in its own constructor.
struct Windows
{
    TForm1* form1 = nullptr; // main window, lobby
    TForm2* form2 = nullptr; // source-port settings
    TForm3* form3 = nullptr; // multiplayer and networking settings
    TForm4* form4 = nullptr; // usermap folder chooser
    TForm5* form5 = nullptr; // room creation
    TForm6* form6 = nullptr; // room host
    TForm7* form7 = nullptr; // room client
    TForm8* form8 = nullptr; // manual join
};

} // namespace vantrell::ui
