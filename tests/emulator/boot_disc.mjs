// Boots a disc image on an emulated BBC Micro Model B (OS 1.20, BASIC II, DFS 1.20) the
// way a user does, with SHIFT+BREAK, and saves what the screen shows each time the
// machine waits for a key: PREFIX-1.png first, then one more for each press of SPACE.
//
// usage: node boot_disc.mjs DISC.ssd PREFIX PICTURES
// The script runs from a folder where jsbeeb is installed (the build copies it into its
// cache folder): an ES module finds its imports beside itself. Exit status 0 when every
// screen was saved, 3 when the machine never waited for a key.
import { MachineSession } from "jsbeeb/machine-session";
import { writeFileSync } from "fs";

const [disc, prefix, countText] = process.argv.slice(2);
const pictures = parseInt(countText ?? "1", 10);
const CYCLES_PER_SECOND = 2000000;
const SHIFT = 16;
const SPACE = 32;
// OS 1.20 loops here while a program waits for a key (GET, INPUT, the BASIC prompt).
const KEY_WAIT = 0xe581;
const LIMIT_SECONDS = 90;

const session = new MachineSession("B-DFS1.2", { discImage: disc });
await session.initialise();

// A breakpoint stops the run at once, so it is set only while waiting for the wait.
async function runUntilKeyWait() {
    const waiting = session.addBreakpoint("execute", KEY_WAIT);
    let hit = false;
    for (let tenths = 0; tenths < LIMIT_SECONDS * 10 && !hit; tenths++) {
        await session.runFor(CYCLES_PER_SECOND / 10);
        hit = session.hitBreakpoint() !== null;
    }
    session.removeBreakpoint(waiting);
    // The screenshot is the last whole frame: let a few be drawn after the last change.
    await session.runFor(CYCLES_PER_SECOND / 10);
    return hit;
}

async function pressKey(code) {
    session.keyDown(code);
    await session.runFor(CYCLES_PER_SECOND / 10);
    session.keyUp(code);
}

// SHIFT held through the reset makes the DFS act on the disc's boot option.
session.keyDown(SHIFT);
session.reset(true);
await session.runFor(CYCLES_PER_SECOND);
session.keyUp(SHIFT);
for (let shown = 1; shown <= pictures; shown++) {
    if (shown > 1) {
        await pressKey(SPACE);
    }
    if (!(await runUntilKeyWait())) {
        console.error(`picture ${shown}: the machine did not wait for a key within ${LIMIT_SECONDS} emulated seconds`);
        process.exit(3);
    }
    writeFileSync(`${prefix}-${shown}.png`, await session.screenshot());
}
const text = session.drainOutput().screenText.trim();
if (text) {
    console.log(`text the machine printed:\n${text}`);
}
process.exit(0);
