// Full-screen effects of the finished frame. (c, ci and cb name the constant
// registers, so no local variable may take those names.) Each technique is one pixel
// shader pass; s0 is the source picture, s1 the second source of a merge.
#parameter vInvSourceSize float2 c0
#parameter ftime float c1
#parameter Pixels float2 c2 4
#parameter PixelKernel float2 c6 13
#parameter g_txNoise texture s2
// Set by the scripts (SetPPParam): the camera's shake widens the blur, the
// ship's speed draws the radial streaks (0 at rest, 5 at full speed).
#parameter blur_power float c19
#parameter radian_blur_power float c20

const float kBlurWeights[13] = float[13](0.002216, 0.008764, 0.026995, 0.064759, 0.120985, 0.176033,
                                         0.199471, 0.176033, 0.120985, 0.064759, 0.026995, 0.008764,
                                         0.002216);
float Luminance(vec3 col) { return dot(col, vec3(0.299, 0.587, 0.114)); }

// The blur's reach: the kernel as it is at rest (power 0.25 or not set),
// wider while the camera shakes.
float BlurSpread() { return max(blur_power.x * 4.0, 1.0); }

#technique fotofilter
// A warm photo filter with a touch of film grain.
void main() {
    vec4 col = texture(s0, t0.xy);
    float grain = texture(g_txNoise, t0.xy + vec2(ftime.x, ftime.x * 0.7)).r - 0.5;
    vec3 warm = col.rgb * vec3(1.05, 1.0, 0.92);
    oC0 = vec4(clamp(warm + grain * 0.02, 0.0, 1.0), col.a);
}

#technique sharp
void main() {
    vec4 col = texture(s0, t0.xy);
    vec4 n = texture(s0, t0.xy + Pixels(0).xy) + texture(s0, t0.xy + Pixels(1).xy) +
             texture(s0, t0.xy + Pixels(2).xy) + texture(s0, t0.xy + Pixels(3).xy);
    oC0 = vec4(clamp(col.rgb * 1.5 - n.rgb * 0.125, 0.0, 1.0), col.a);
}

#technique hblur
void main() {
    vec4 sum = vec4(0.0);
    float spread = BlurSpread();
    for (int i = 0; i < 13; ++i) sum += texture(s0, t0.xy + PixelKernel(i).xy * spread) * kBlurWeights[i];
    oC0 = sum;
}

#technique vblur
void main() {
    vec4 sum = vec4(0.0);
    float spread = BlurSpread();
    for (int i = 0; i < 13; ++i) sum += texture(s0, t0.xy + PixelKernel(i).yx * spread) * kBlurWeights[i];
    oC0 = sum;
}

#technique merge_2
void main() { oC0 = mix(texture(s0, t0.xy), texture(s1, t0.xy), 0.25); }

#technique brightpass
void main() {
    vec4 col = texture(s0, t0.xy);
    oC0 = vec4(max(col.rgb - vec3(0.7), vec3(0.0)) / 0.3, col.a);
}

#technique hbloom
void main() {
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 13; ++i) sum += texture(s0, t0.xy + PixelKernel(i).xy * 2.0) * kBlurWeights[i];
    oC0 = sum;
}

#technique vbloom
void main() {
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 13; ++i) sum += texture(s0, t0.xy + PixelKernel(i).yx * 2.0) * kBlurWeights[i];
    oC0 = sum;
}

#technique bloom_add
void main() {
    vec4 col = texture(s0, t0.xy);
    oC0 = vec4(clamp(col.rgb + texture(s1, t0.xy).rgb * 0.6, 0.0, 1.0), col.a);
}

#technique radian_blur
// Streaks away from the centre of the screen, as long as the power asks.
void main() {
    vec2 dir = t0.xy - vec2(0.5);
    float stride = 0.002 * radian_blur_power.x;
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 8; ++i) sum += texture(s0, t0.xy - dir * (float(i) * stride));
    oC0 = sum / 8.0;
}

#technique copy
void main() { oC0 = texture(s0, t0.xy); }
