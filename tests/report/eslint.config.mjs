// The report page's script, as the page runs it: a classic script in strict
// mode (the page says 'use strict' before it) after `const data = {...}`,
// which holds the figures the program computed.
import js from '@eslint/js';

export default [
  js.configs.recommended,
  {
    files: ['**/*.js'],
    languageOptions: {
      ecmaVersion: 2022,
      sourceType: 'script',
      globals: {
        data: 'readonly',
        document: 'readonly',
        window: 'readonly',
        performance: 'readonly',
        requestAnimationFrame: 'readonly',
        atob: 'readonly',
        AudioContext: 'readonly',
        Uint8ClampedArray: 'readonly',
      },
    },
    rules: {
      'no-var': 'error',
      'prefer-const': 'error',
      eqeqeq: 'error',
      'no-shadow': 'error',
      'no-use-before-define': ['error', { functions: false }],
    },
  },
];
