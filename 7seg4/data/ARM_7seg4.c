/*
 * ARM_7seg4.c - the code file of the LED7SEG4 display component.
 *
 * The component reads this file in two ways. The profile sections below list its one macro,
 * SHOW_DIGIT, with its parameters; the host shows them in its flowchart editor. The marked
 * blocks after them hold the C code the component hands the host when it compiles a
 * flowchart: the definitions, the start-up code, the interrupt code and the code of the macro.
 * Each block is complete C at file scope; the host places DefinesCode first and the macro's
 * code after it, and passes the macro's code through the component, which replaces the wiring
 * placeholders in it.
 *
 * Placeholders (a per cent sign and a letter) in the macro block, for the wiring the user made:
 *   a      "port" + the letter of the segment lines' port, b the same for the anodes' port
 *   c .. l the segment lines that are high (segment dark) for the digits 0 .. 9, as wired;
 *          the decimal point is dark in all ten, so its line is included where it is wired
 *   m      255 minus the decimal point's bit mask (255 when the point is not wired)
 *   n, p   the numbers 1 and 0
 *   o      255 minus the sum of the anode masks: a complement of the low eight bits only,
 *          wrong for anodes above bit 7 and for bits 8 up of a wider port, so the macro
 *          does not mask with it; it complements the OR of the anode masks q .. t instead
 *   q .. t the bit masks of the anodes of DIGIT 0 (rightmost) .. DIGIT 3 (leftmost)
 * All anode pins must be wired: an anode without a bit still yields the mask 1.
 *
 * Rules for editing this file:
 *   - Keep CR LF line ends. The block reader ends lines at CR LF or CR only; with LF-only line
 *     ends it finds no block.
 *   - A marker line stands alone, exactly as written, with nothing before or after it.
 *   - Inside the blocks, write the per cent sign only as part of a placeholder.
 *   - After the first section line every line holding an equals sign is a profile entry of
 *     the section above it, which is why the sections end with an unused one.
 */

/*
[MacroNames]
Count=1
1=SHOW_DIGIT

[MacroReturns]
1=void

[MacroIsPrivate]
1=0

[MacroParameters_SHOW_DIGIT]
Count=3
1=DIGIT
2=VALUE
3=DECIMAL_PT

[MacroParamTypes_SHOW_DIGIT]
1=char
2=char
3=char

[CodeBlocks]
*/

/*DefinesCode_Start*/
/* LED7SEG4: four-digit seven-segment LED display with common anodes.
 *
 * SHOW_DIGIT(DIGIT, VALUE, DECIMAL_PT) lights one digit and leaves the other three dark.
 *   DIGIT       0 is the rightmost digit, 3 the leftmost; any other value lights none.
 *   VALUE       0 to 9 show that figure; 10 to 255 light all seven segments.
 *   DECIMAL_PT  non-zero lights the decimal point of the digit.
 * Call it for each digit in turn, often enough for the eye to blend the four.
 *
 * The target header must provide the port output latches that SHOW_DIGIT names: porta for
 * port 0, portb for port 1, and so on. Each must be a modifiable lvalue of an unsigned
 * integer type at least as wide as the port, which reads back the value last written to it,
 * for example a volatile uint8_t or uint32_t, or a macro naming the port's output data
 * register. SHOW_DIGIT changes only the port bits wired to the display: it turns every anode
 * off, then sets the segment lines, then turns the chosen anode on, writing each port once
 * per step, so no digit ever shows another digit's segments.
 */
void SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT);
/*DefinesCode_End*/

/* The display needs no start-up code and no interrupt: the flowchart multiplexes the digits by
   calling SHOW_DIGIT. The two blocks are therefore empty, which tells the host there is none. */
/*InitialisationCode_Start*/
/*InitialisationCode_End*/
/*InterruptCode_Start*/
/*InterruptCode_End*/

/*Macro_SHOW_DIGIT_Start*/
void SHOW_DIGIT(char DIGIT, char VALUE, char DECIMAL_PT)
{
    /* The segment lines that are high for the figures 0 to 9; a high line leaves its segment
       dark, and the decimal point is dark in all ten. */
    static const unsigned short digitLines[10] = {%c, %d, %e, %f, %g, %h, %i, %j, %k, %l};
    /* The anode of each digit, DIGIT 0 (the rightmost) first. */
    static const unsigned short anodeLines[4] = {%q, %r, %s, %t};
    /* Every segment is dark in at least one figure, so together the ten patterns cover all
       wired segment lines, the decimal point included. */
    const unsigned long segmentMask = %c | %d | %e | %f | %g | %h | %i | %j | %k | %l;
    const unsigned long pointMask = 255 - (%m);
    const unsigned long anodeMask = %q | %r | %s | %t;
    const unsigned char digit = (unsigned char)DIGIT;
    const unsigned char value = (unsigned char)VALUE;
    unsigned long lines = (value < 10u) ? digitLines[value] : 0u;

    /* The point follows DECIMAL_PT, not the figure; a low line lights it. */
    lines &= ~pointMask;
    if (DECIMAL_PT == 0)
        lines |= pointMask;

    /* All anodes off before the segments change, then the segments, then the one anode on.
       Each step writes its port once and keeps the bits that are not wired to the display. */
    %b &= ~anodeMask;
    %a = (%a & ~segmentMask) | lines;
    if (digit < 4u)
        %b |= anodeLines[digit];
}
/*Macro_SHOW_DIGIT_End*/
