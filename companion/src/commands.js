'use strict'

// The program's control commands by the names its control socket knows, each with its argument
// (key and range). The ranges are the program's own: a button with a bad option is told so in
// the log at once, where the program would only answer 400.
const COMMANDS = Object.freeze({
	start: null,
	pause: null,
	restart: null,
	reset: null,
	previous: null,
	next: null,
	message: { key: 'text', text: true, most: 80 },
	adjust: { key: 'by', least: -600, most: 600 },
	goto: { key: 'n', least: 1, most: 200 },
	'message-saved': { key: 'i', least: 0, most: 19 },
	projector: { key: 'on', least: 0, most: 1 },
	mask: { key: 'on', least: 0, most: 1 },
})

// The JSON text of one command for the control socket. Throws a RangeError, worded like the
// program's 400 answers, for a command or argument the program would refuse to read.
function commandFrame(name, value, id) {
	if (!Object.hasOwn(COMMANDS, name)) throw new RangeError(`no such command: ${name}`)
	const argument = COMMANDS[name]
	const frame = { command: name }
	if (argument?.text) {
		const text = String(value ?? '')
		// The program counts characters as code points, not UTF-16 units.
		if ([...text].length > argument.most) throw new RangeError(`a message is at most ${argument.most} characters`)
		frame[argument.key] = text
	} else if (argument) {
		const number = typeof value === 'string' && value.trim() !== '' ? Number(value) : value
		if (!Number.isInteger(number) || number < argument.least || number > argument.most)
			throw new RangeError(`${argument.key} is a whole number from ${argument.least} to ${argument.most}`)
		frame[argument.key] = number
	}
	frame.id = id
	return JSON.stringify(frame)
}

module.exports = { COMMANDS, commandFrame }
